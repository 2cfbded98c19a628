#include "text_buffer.h"

char textBuffer[kTextBufferSize];
