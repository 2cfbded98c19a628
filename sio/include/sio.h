/*
 * sio.h - serial port library for Win32 COM ports.
 *
 * Up to 256 ports (index 0 = COM1 ... 255 = COM256), opened for overlapped
 * I/O (or synchronous I/O on old systems), with byte and block transfers,
 * line settings, modem lines, event waits and window notification.
 *
 * Conventions shared by every call:
 *  - Every argument and result is a signed 32-bit integer unless stated.
 *  - Negative results are the error codes below; success is 0 or a
 *    non-negative value that each call defines.
 *  - Per-port calls check, in this order: the index (IE_BADID), then that
 *    the port is open (IE_NOPEN).
 *  - Letter arguments are character codes and case matters ('S' is not 's').
 *  - The library allocates nothing from the heap and takes no locks: make
 *    the calls for one port from one thread at a time.
 *  - The library never throws; it reports by return codes, the last Win32
 *    error (SioWinError) and, while enabled, task-modal "Info" message boxes.
 *
 * The header compiles from C and C++, before or after <windows.h>, which
 * defines IE_BADID .. IE_BAUDRATE with the same values.
 */
#ifndef SIO_H
#define SIO_H

#if defined(SIO_BUILD_DLL)
#define SIO_API __declspec(dllexport)
#elif defined(SIO_USE_DLL)
#define SIO_API __declspec(dllimport)
#else
#define SIO_API
#endif

/* Error codes. IE_ values are spelled exactly as <windows.h> spells them, so
 * that either header may come first without a redefinition warning. */
#ifndef IE_BADID
#define IE_BADID (-1)    /* port index outside 0..255 */
#endif
#ifndef IE_OPEN
#define IE_OPEN (-2)     /* defined for callers; no call returns it */
#endif
#ifndef IE_NOPEN
#define IE_NOPEN (-3)    /* the port is not open */
#endif
#ifndef IE_MEMORY
#define IE_MEMORY (-4)   /* defined for callers */
#endif
#ifndef IE_DEFAULT
#define IE_DEFAULT (-5)  /* defined for callers */
#endif
#ifndef IE_HARDWARE
#define IE_HARDWARE (-10) /* defined for callers */
#endif
#ifndef IE_BYTESIZE
#define IE_BYTESIZE (-11) /* defined for callers */
#endif
#ifndef IE_BAUDRATE
#define IE_BAUDRATE (-12) /* defined for callers */
#endif

#define SIO_IO_FAILED (-13)  /* a transfer or event-wait system call failed */
#define SIO_NO_DATA (-100)   /* nothing moved: previous transfer pending, or no byte */
#define SIO_RANGE (-101)     /* an argument outside its allowed values */
#define SIO_WIN_ERROR (-103) /* a Win32 call failed; see SioWinError */
#define SIO_BUFFERS (-105)   /* the system refused the queue sizes */
#define SIO_THREAD (-106)    /* the notification thread cannot be created */
#define SIO_TIMEOUT (-107)   /* defined for callers */
#define SIO_NO_PORT_IO (-108) /* SioReadUart: the platform forbids direct port input */

/* States of an overlapped operation, returned by the event calls. */
#define SIO_PENDING 2 /* started, completion not yet seen (time-out passed) */
#define SIO_DONE 3    /* complete */

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Ports ---------------------------------------------------------------
 * SioOpenPort(port, rxQueue, txQueue): opens COM(port+1) with the library's
 * default line settings (19200 8N1 unless changed), no flow control and
 * read time-outs that return at once. Returns 0, IE_BADID, SIO_WIN_ERROR
 * (lastWinError: 2 no such port, 5 port already open) or SIO_BUFFERS.
 * SioOpenPort(-1, dtr, rts) sets whether the next opens enable DTR and RTS
 * (bit 0 of each) and returns 0; it may be the very first call.
 * SioClosePort(port): ends an event wait and the notification thread of the
 * port, restores the device's time-outs and closes it. Returns nonzero on
 * success, 0 when the device close failed (the slot is closed anyway),
 * IE_BADID or IE_NOPEN. */
SIO_API int SioOpenPort(int port, int rxQueue, int txQueue);
SIO_API int SioClosePort(int port);

/* ---- Transfers and queues ------------------------------------------------
 * SioPutByte: 1 when written, SIO_NO_DATA when the previous write is still
 * pending, SIO_IO_FAILED when the write cannot start.
 * SioWriteBlock: bytes written; 1 in no-wait mode (the buffer must then stay
 * unchanged until the write completed); SIO_RANGE for a null buffer or a
 * count below 1; SIO_NO_DATA while the previous write is pending.
 * SioReadBlock: bytes placed in the buffer (0 when nothing has arrived; it
 * never waits for data); SIO_RANGE for a null buffer or a size below 1.
 * SioGetByte: the byte 0..255 (masked to the data bits), SIO_NO_DATA when
 * nothing has arrived.
 * SioUngetByte: pushes one byte back (0 clears it); the next read returns it.
 * SioFlushRx / SioFlushTx: purge the queues (Rx also drops a pushed-back byte).
 * SioRxCount / SioTxCount: bytes waiting in the queues.
 * SioLineErrors(port, mask): the CE_ error bits seen since the last status
 * query, ANDed with mask; -1 when the query fails. */
SIO_API int SioPutByte(int port, int byte);
SIO_API int SioWriteBlock(int port, const char *buffer, int count);
SIO_API int SioGetByte(int port);
SIO_API int SioReadBlock(int port, char *buffer, int size);
SIO_API int SioUngetByte(int port, int byte);
SIO_API int SioFlushRx(int port);
SIO_API int SioFlushTx(int port);
SIO_API int SioRxCount(int port);
SIO_API int SioTxCount(int port);
SIO_API int SioLineErrors(int port, int mask);

/* ---- Line settings and lines ---------------------------------------------
 * SioSetBaud(port, baud): baud 0..9 picks 110, 300, 1200, 2400, 4800, 9600,
 * 19200, 38400, 57600, 115200; any other value is the rate itself. Port -1
 * sets the default for the next opens (returns 0); otherwise returns the
 * SetCommState result (nonzero taken, 0 refused).
 * SioSetParams(port, parity 0..4, stopBits 0..2, dataBits 5..8): SIO_RANGE
 * before the port is looked at; port -1 sets the defaults; returns 0.
 * SioSetFlow(port, 'H'ardware | 'N'one | 'S'oftware): returns 1.
 * SioSetParams and SioSetFlow return the same value when the device refused
 * the settings; the port keeps the new values and sends them again with its
 * next setting call. Both raise DTR and RTS again after the change when
 * SioLineDTR / SioLineRTS last set them.
 * SioLineDTR / SioLineRTS(port, 'S'et | 'C'lear | 'R'ead): set and clear
 * return the system's result; read returns the last command (DTR 1, RTS 2).
 * SioModemCTS/DSR/RI/DCD: 16/32/64/128 when the input is on, 0 when off or
 * when the status cannot be read.
 * SioBreakControl(port, 'A'ssert | 'C'lear | 'D'etect): detect returns 16
 * when a break was seen since the last status query.
 * SioReadUart(port 0..3, offset): reads one byte (0..255) of a legacy PC
 * UART by direct port input at the port's base address (0x3F8, 0x2F8,
 * 0x3E8, 0x2E8) plus offset, low 16 bits; the port must be open although
 * the read bypasses its driver. -1 for a port above 3. Where the platform
 * forbids direct port input (Windows NT and later, Wine) the instruction
 * faults; the library steps over it and returns SIO_NO_PORT_IO (-108), a
 * code of its own so that it cannot be mistaken for a register value or
 * for any other error. It returns the same when it cannot install its
 * fault guard, and then does not try the read. */
SIO_API int SioSetBaud(int port, int baud);
SIO_API int SioSetParams(int port, int parity, int stopBits, int dataBits);
SIO_API int SioSetFlow(int port, int letter);
SIO_API int SioLineDTR(int port, int letter);
SIO_API int SioLineRTS(int port, int letter);
SIO_API int SioModemCTS(int port);
SIO_API int SioModemDSR(int port);
SIO_API int SioModemRI(int port);
SIO_API int SioModemDCD(int port);
SIO_API int SioBreakControl(int port, int letter);
SIO_API int SioReadUart(int port, int offset);

/* ---- Events and notification ---------------------------------------------
 * SioWaitEvent(port, mask, timeout): waits up to timeout ms (-1 = no limit)
 * for one of the EV_ events of mask. SIO_DONE: an event occurred or the wait
 * was woken (SioPortControl 'S', SioNotify with window 0, SioClosePort);
 * SIO_PENDING: the time-out passed; SIO_IO_FAILED.
 * SioWaitChar(port, character, timeout): sets the event character and waits
 * for EV_RXFLAG; SIO_WIN_ERROR when the port state cannot be read or set.
 * SioNotify(port, window, message, mask): starts one thread that waits for
 * the events and posts message (low 16 bits) with wParam = port, lParam = 0
 * to window, then ends. Returns 0 started, 1 stop requested (window 0) or a
 * thread already runs, SIO_THREAD. SioClosePort wakes the thread, which
 * posts its message, and waits for its end; a thread still running after
 * 2 s (or at once on old systems) is terminated.
 * Platform note: where the driver's WaitCommEvent does not block (Wine on a
 * pty ends every wait by itself after about 2 ms and never reports data
 * that arrives later), SioWaitEvent returns SIO_DONE after about 2 ms, or at
 * once when data is already queued; SioWaitChar returns SIO_DONE after about
 * 2 ms whatever arrives (the event character is not kept there); a mask with
 * a modem-line event (EV_CTS, EV_DSR, EV_RLSD, EV_RING) gives SIO_IO_FAILED
 * at once. A notification thread then posts its message almost at once.
 * Poll with SioRxCount there. */
SIO_API int SioWaitEvent(int port, int mask, int timeout);
SIO_API int SioWaitChar(int port, int character, int timeout);
SIO_API int SioNotify(int port, void *window, int message, int mask);

/* ---- Options and information ---------------------------------------------
 * SioOption('R'): reset devices at open; ('W'): no-wait block writes on all
 * ports; ('m'): toggles message boxes, returns the new state. -1 otherwise.
 * SioPortControl(port, letter, value): 'B'/'H' handle (-1 closed), 'M'/'O'
 * old-Windows mode, 'S' wakes an event wait, 'W' no-wait for one port, 'X'
 * tolerate queue-size refusal. -1 for other letters.
 * SioQueryInfo(letter): 'V' version (0x425), 'B' build, 'M'/'m' threads
 * started/ended, 'c' close failures, ... -1 for other letters.
 * SioWinError(buffer, size): the system's text for the last Win32 error the
 * library kept, into buffer (size > 0, always terminated), or in a message
 * box (size 0); returns that error code. */
SIO_API int SioOption(int letter);
SIO_API int SioPortControl(int port, int letter, int value);
SIO_API int SioQueryInfo(int letter);
SIO_API int SioWinError(char *buffer, int size);

#ifdef __cplusplus
}
#endif

#endif /* SIO_H */
