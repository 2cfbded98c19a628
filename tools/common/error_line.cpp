// What a short write sent, in words.
#include "error_line.h"

#include "sio.h"

namespace tools {

// A short write is told as the screen tells it, the failure code the home
// sequence reports, with the count it did write.
std::string WriteResultLine(int result) {
    if (result < 0) return ErrorLine(result);
    return ErrorLine(SIO_IO_FAILED) + " (only " + std::to_string(result) + " bytes written)";
}

}  // namespace tools
