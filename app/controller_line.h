// Going on-line to the slider's controller: DTR and RTS on at open, 1024-byte
// queues, 9600 baud, receive queue flushed. The window's On Line and the
// console programs share it, so every end of a line is set up alike.
#pragma once

constexpr int kControllerBaud = 9600;  // the controller's rate, whatever the Baud menu says
constexpr int kControllerQueueSize = 1024;

// 0 when the port is open at 9600 baud; otherwise a negative library code and
// the port is left closed: the open's own code, or IE_BAUDRATE when the
// device refused 9600 baud (frames at the open's rate would reach nobody).
int OpenControllerLine(int port);
