// What a short write sent, in words.
#include "error_line.h"

namespace tools {

std::string WriteResultLine(int result) {
    return result < 0 ? ErrorLine(result) : std::to_string(result) + " bytes written";
}

}  // namespace tools
