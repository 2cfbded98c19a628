// Going on-line to the slider's controller: DTR and RTS on at open, 1024-byte
// queues, 9600 baud, receive queue flushed. The window's On Line and the
// console programs share it, so every end of a line is set up alike.
#pragma once

constexpr int kControllerBaud = 9600;  // the controller's rate, whatever the Baud menu says
constexpr int kControllerQueueSize = 1024;

// Returns the open's result: 0, or a negative library code, in which case
// nothing else was done. baudTaken (optional) tells whether the device took
// the rate; the port is on-line either way.
int OpenControllerLine(int port, bool* baudTaken = nullptr);
