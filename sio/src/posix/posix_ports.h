// COM names and device paths on Linux (posix_ports.cpp).
#pragma once

#include <stddef.h>

namespace sio {
namespace posix {

constexpr size_t kPathSize = 256;
constexpr int kBindablePorts = 256;  // COM1..COM256, the library's port indices

// The device path of port index (0 = COM1), path kPathSize bytes: the path
// bound to it, else the port map's entry for it; false when neither names one.
bool PortPath(int index, char* path);

}  // namespace posix
}  // namespace sio
