// One-line error texts.
#include "error_line.h"

#include "error_text.h"

namespace tools {

std::string ErrorLine(int code) {
    std::string text = ErrorText(code);
    const char* space = " \t\r\n";
    size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return "error " + std::to_string(code);
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::string WriteResultLine(int result) {
    return result < 0 ? ErrorLine(result) : std::to_string(result) + " bytes written";
}

}  // namespace tools
