// The reads and writes with a time-out change the device's time-outs; the
// plain transfers rely on the open's, and put them back first.
#pragma once

namespace sio {

// Gives the device the open's time-outs again if a timed transfer changed
// them; nothing otherwise.
void RestoreOpenTimeouts(int port);

}  // namespace sio
