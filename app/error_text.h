// The texts the operator sees for the serial library's negative return
// codes, written into the shared text buffer for WriteLine.
#pragma once

// Fills textBuffer with the text for code and returns it; the buffer is
// always a terminated string.
const char* ErrorText(int code);
