// Command-line helpers.
#include "args.h"

#include <cerrno>
#include <cstdlib>

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

}  // namespace tools
