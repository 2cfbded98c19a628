#include "com_port_name.h"

#include "sio.h"

namespace comport {

int ParsePortName(const std::string& text) {
    int index = SioPortIndex(text.c_str());
    return index < 0 ? -1 : index;
}

std::string PortName(int portIndex) { return "COM" + std::to_string(portIndex + 1); }

}  // namespace comport
