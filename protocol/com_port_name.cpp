#include "com_port_name.h"

#include <cctype>

namespace comport {

int ParsePortName(const std::string& text) {
    if (text.size() < 4 || text.size() > 6) return -1;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return -1;
    int number = 0;
    for (size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
        number = number * 10 + (text[i] - '0');
    }
    if (number < 1 || number > kHighestComNumber) return -1;
    return number - 1;
}

std::string PortName(int portIndex) { return "COM" + std::to_string(portIndex + 1); }

}  // namespace comport
