// The tool's error text for a library code as one line for a console
// message: ErrorText frames its texts with line feeds for the text screen.
#pragma once

#include <string>

namespace tools {

std::string ErrorLine(int code);

}  // namespace tools
