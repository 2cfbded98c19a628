// Command-line helpers.
#include "args.h"

#include <cerrno>
#include <cstdlib>

#include "port_name.h"
#include "sio.h"

namespace tools {

bool ParseNumber(const std::string& text, long low, long high, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

bool ArgWalker::Next(std::string& argument) {
    if (next_ >= argc_) return false;
    argument = argv_[next_++];
    return true;
}

bool ArgWalker::Value(const std::string& option, std::string& value, std::string& error) {
    if (next_ >= argc_) {
        error = option + " needs a value";
        return false;
    }
    value = argv_[next_++];
    return true;
}

bool ArgWalker::PortValue(const std::string& option, int& port, std::string& error) {
    std::string value;
    if (!Value(option, value, error)) return false;
    // The library's reading: a COM name, and on Linux a device path too.
    port = SioPortIndex(value.c_str());
    if (port >= 0) return true;
    error = "bad port \"" + value + "\" (expected COM1..COM256)";
    return false;
}

bool ArgWalker::NumberValue(const std::string& option, long low, long high, long& number,
                            const std::string& what, const std::string& hint, std::string& error) {
    std::string value;
    if (!Value(option, value, error)) return false;
    if (ParseNumber(value, low, high, number)) return true;
    error = "bad " + what + " \"" + value + "\" (" + hint + ")";
    return false;
}

}  // namespace tools
