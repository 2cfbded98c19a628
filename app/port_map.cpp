// The ports the system has, as the library finds them.
#include "port_map.h"

#include "sio.h"

int ReadPortMap(int ports[kPortMapSize]) {
    int count = 0;
    for (int port = SioNextPort(-1); port >= 0 && count < kPortMapSize; port = SioNextPort(port))
        ports[count++] = port;
    return count;
}
