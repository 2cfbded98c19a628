// The serial ports the system has (SioNextPort: the system's device names,
// USB adapters included). Read anew each time it is asked, so an adapter
// plugged in later shows. Nothing is opened.
#pragma once

#include "com_port_name.h"

constexpr int kPortMapSize = comport::kHighestComNumber;  // COM1..COM256, the library's port indices

// Fills ports with the indices (0 = COM1) of the ports present, in rising
// order without repeats, and returns how many.
int ReadPortMap(int ports[kPortMapSize]);
