// Reading a register of a legacy PC UART by direct port input. Only old
// systems let a process execute the input instruction; elsewhere it faults,
// so the read runs under a vectored exception handler that steps over that
// one instruction, and over nothing else, and marks the result as refused.
#include "sio_state.h"
#include "sys_table.h"

#if defined(__i386__) || defined(__x86_64__)
// The input instruction itself, labelled inside DirectPortInput: the guard
// acts only on a fault at exactly this address.
extern "C" const unsigned char sioPortInputInstruction[] __asm__("sio_port_input_instruction");
#endif

namespace sio {
namespace {

// Returned by DirectPortInput when the instruction was refused.
constexpr int kPortInputRefused = -1;

#if defined(__i386__) || defined(__x86_64__)

// Set by the guard in the accumulator above the byte the instruction would
// have read, so a refusal cannot look like any register value.
constexpr unsigned kRefusedMark = 0x100;
constexpr unsigned kInputInstructionSize = 1;  // "in al, dx" is the single byte 0xEC

LONG CALLBACK StepOverRefusedPortInput(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    // Windows reports the refused instruction as a privileged instruction;
    // some systems report the same general-protection fault as an access
    // violation.
    bool refusal = record->ExceptionCode == EXCEPTION_PRIV_INSTRUCTION ||
                   record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION;
    if (!refusal || record->ExceptionAddress != sioPortInputInstruction) return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT* context = info->ContextRecord;
#if defined(__x86_64__)
    context->Rax |= kRefusedMark;
    context->Rip += kInputInstructionSize;
#else
    context->Eax |= kRefusedMark;
    context->Eip += kInputInstructionSize;
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

#else

LONG CALLBACK StepOverRefusedPortInput(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }

#endif

}  // namespace

// Never inlined or cloned: the instruction and its label must exist exactly
// once (a second copy would not assemble).
__attribute__((noinline, noclone)) int DirectPortInput(unsigned short address) {
#if defined(__i386__) || defined(__x86_64__)
    unsigned value = 0;
    __asm__ volatile(
        "sio_port_input_instruction:\n\t"
        "inb %%dx, %%al"
        : "+a"(value)
        : "d"(address)
        : "memory");
    return (value & kRefusedMark) ? kPortInputRefused : static_cast<int>(value);
#else
    (void)address;
    return kPortInputRefused;
#endif
}

}  // namespace sio

using namespace sio;

extern "C" int SioReadUart(int port, int offset) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    if (port > 3) return -1;  // only COM1..COM4 have a legacy UART address
    // Unsigned sum: the offset is not limited, and only the low 16 bits count.
    unsigned sum = static_cast<unsigned>(uartBase[port]) + static_cast<unsigned>(offset);
    unsigned short address = static_cast<unsigned short>(sum & 0xFFFFu);

    // Without the guard a refused instruction would end the process.
    PVOID guard = sys.AddVectoredExceptionHandler(1, StepOverRefusedPortInput);
    if (!guard) return SIO_NO_PORT_IO;
    int value = sys.PortInput(address);
    sys.RemoveVectoredExceptionHandler(guard);
    return value < 0 ? SIO_NO_PORT_IO : (value & 0xFF);
}
