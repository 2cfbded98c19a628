// Direct port input of a legacy PC UART register.
#include "sys_table.h"

namespace sio {

int DirectPortInput(unsigned short address) {
#if defined(__i386__) || defined(__x86_64__)
    unsigned char value = 0;
    __asm__ volatile("inb %%dx, %%al" : "+a"(value) : "d"(address) : "memory");
    return value;
#else
    (void)address;
    return -1;
#endif
}

}  // namespace sio
