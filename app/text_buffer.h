// The tool's one shared scratch buffer: window title, error texts and the
// receive buffer of the poll all use it, one after the other.
#pragma once

constexpr int kTextBufferSize = 1024;
extern char textBuffer[kTextBufferSize];
