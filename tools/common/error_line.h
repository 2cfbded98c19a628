// Error texts of library codes as one line for a console message: the
// tool's ErrorLine, and what a write that fell short sent.
#pragma once

#include <string>

#include "error_text.h"

namespace tools {

using ::ErrorLine;
// Why a write did not send all it was given: the error line of a negative
// result, else that of the I/O failure a short write stands for, with its count.
std::string WriteResultLine(int result);

}  // namespace tools
