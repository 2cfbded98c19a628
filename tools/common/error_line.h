// The tool's error text for a library code as one line for a console
// message: ErrorText frames its texts with line feeds for the text screen.
#pragma once

#include <string>

namespace tools {

std::string ErrorLine(int code);
// Why a write did not send all it was given: the error line of a negative
// result, else the count it did write.
std::string WriteResultLine(int result);

}  // namespace tools
