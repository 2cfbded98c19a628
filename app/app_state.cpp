// Storage of the tool's state and its baud table.
#include "app_state.h"

const int AppBaudTable[kBaudEntries] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

AppState app;
