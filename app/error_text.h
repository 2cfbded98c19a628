// The texts the operator sees for the serial library's negative return
// codes, written into the shared text buffer for WriteLine.
#pragma once

#include <string>

// Fills textBuffer with the text for code and returns it; the buffer is
// always a terminated string.
const char* ErrorText(int code);

// The same text as one line, for a message that stands among other lines
// (a console message, the window's read-back line): without the line feeds
// that frame it on the text screen.
std::string ErrorLine(int code);
