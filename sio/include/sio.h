/**
 * @file sio.h
 * @brief The sio serial port library for Win32 COM ports: the whole call
 * interface, its result codes and its letter tables.
 *
 * Up to 256 ports (index 0 = COM1 ... 255 = COM256), each opened for
 * overlapped I/O, or for synchronous I/O in old-Windows mode, with byte and
 * block transfers, reads and writes with a time-out, line settings, modem
 * lines, break, event waits and window notification; the ports the system
 * has are found by name and listed with what their devices are. The header
 * compiles from C and C++, before or after `<windows.h>`, which defines
 * `IE_BADID` .. `IE_BAUDRATE` with the same values; it needs nothing from
 * `<windows.h>`: the system's values that the calls take and give have names
 * of their own here (@ref sio_values).
 *
 * @section sio_conventions Conventions shared by every call
 *  - Every argument and result is a signed 32-bit integer unless stated.
 *  - Negative results are the error codes of @ref sio_codes; success is 0 or
 *    a non-negative value that each call defines (not always 0).
 *  - Calls that take a port check, in this order: the index (`IE_BADID` for
 *    anything outside 0..255 unless the call has a port -1 form), then that
 *    the port is open (`IE_NOPEN`). SioPortControl, SioWaitChar and
 *    SioPortInfo have no not-open rule. SioSetParams checks its arguments
 *    before the port.
 *  - Letter arguments are character codes and case matters ('S' is not 's').
 *    The line calls and SioQueryInfo look at the low 8 bits of the letter;
 *    SioOption and SioPortControl at the whole value.
 *  - SioOpenPort, SioWaitChar, SioSetParams and SioSetFlow keep a system
 *    error for SioWinError with `SIO_WIN_ERROR`; SioSetBaud keeps one with
 *    its 0 for a refused rate. Failed transfers and event waits give
 *    `SIO_IO_FAILED` and keep none. SioSetBaud, SioLineDTR/SioLineRTS 'S'
 *    and 'C', and SioBreakControl 'A' and 'C' hand back the system call's own
 *    result: nonzero done, 0 refused.
 *  - The library never throws and allocates nothing from the heap. Besides
 *    its results it reports through task-modal message boxes captioned
 *    "Info" (only while message boxes are on, see SioOption 'm') and, for a
 *    failed event creation at open, an assertion report on stderr.
 *  - Each port keeps its own line settings (a copy of the device's DCB):
 *    every setting call changes its fields in that copy and hands the whole
 *    copy to the device. When the device refuses it, the copy becomes what
 *    the device holds again (the settings before the call), so the next
 *    setting call does not send the refused values once more.
 *
 * @section sio_threads Which calls may run at the same time
 *  - Calls on different ports may run at the same time from different
 *    threads.
 *  - The calls for one port are made from one thread at a time, except the
 *    calls that wake a waiter from outside: SioPortControl 'S', SioNotify
 *    with window 0 and SioClosePort may be made from another thread while
 *    SioWaitEvent, SioWaitChar, SioReadTimed, SioReadSome or SioWriteTimed
 *    waits on that port, or while the port's notification thread runs. A
 *    wake that comes at any moment of such a wait, even before the wait has
 *    begun to wait, ends it: the event waits with `SIO_DONE`, the timed
 *    transfers with the count they have. One wake ends them all.
 *  - SioPortIndex, SioNextPort and SioPortInfo use no port's state and may
 *    be called at any time, from any thread.
 *  - A port's event wait serves one waiter at a time: while a notification
 *    thread runs for the port (from SioNotify until the thread has posted its
 *    message), the program does not call SioWaitEvent or SioWaitChar on that
 *    port. A call that breaks this rule, or that comes while a wait of
 *    another thread is in progress on the port, returns `SIO_BUSY` and
 *    changes nothing; SioNotify in the same case returns 1 and starts no
 *    thread. Neither ends the other's wait.
 *  - SioClosePort from another thread first marks the port closed (a wait
 *    that comes later returns `IE_NOPEN`, SioWaitChar `SIO_WIN_ERROR`, a
 *    wake wakes nothing, and a second SioClosePort of the port at the same
 *    time returns `IE_NOPEN` and closes nothing), then wakes the wait in
 *    progress (an event wait returns `SIO_DONE`, a timed transfer its count)
 *    and the notification thread, and closes
 *    the port's handles only once they have left the port: no call ever uses
 *    a handle that was closed, or that the system has handed out again. It
 *    waits for a wait (and a SioNotify that is starting its thread) up to
 *    1 s, and for the thread up to 2 s, then 2 s more after terminating it.
 *  - Before the port's storage serves another opening, every request of the
 *    last one (a read left running, a no-wait write, a timed-out wait) has
 *    ended: the close cancels each and waits for it up to 100 ms; closing
 *    the device ends any the driver kept, and their end is awaited up to
 *    100 ms more. No request of one opening ends a wait of the next.
 *  - When a wait stays inside past its bound (it hangs in the system), the
 *    thread cannot be ended, or a request has still not ended, the close
 *    returns 0, counts a failed close (SioQueryInfo 'c') and leaves the port
 *    held for them. The port's device, events and storage are released as
 *    soon as the last of them has left or ended: by that wait or thread on
 *    its way out, or by the next SioOpenPort of the port. Until then
 *    SioOpenPort of that port returns `SIO_WIN_ERROR` (system error 170,
 *    busy); from then on it opens the port again.
 *  - The library-wide settings are made while no other call runs: the port
 *    -1 forms of SioOpenPort, SioSetBaud and SioSetParams, SioOption, and
 *    SioPortControl 'O' and 'X'.
 *  - SioQueryInfo may be called at any time, from any thread.
 *  - SioWinError reports the error kept by the calling thread's last
 *    failing call (each thread has its own, kept without the heap), so
 *    another thread's failure never replaces it; its text and its result
 *    belong to the same error.
 *  - No call holds a lock while it waits. Two internal steps are guarded:
 *    the first call that needs the library's tables fills them, and a call
 *    on another thread that comes meanwhile sleeps in 1 ms steps until they
 *    are ready; the copy of a port's status (taken by the reads, the counts,
 *    SioLineErrors and SioBreakControl 'D') into the library's one shared
 *    status record is guarded the same way. Each port counts the waits and
 *    wakes of other threads inside it, so that a close can wait for them.
 *  - Every wait inside the library is bounded, except a wait that its
 *    caller asked to be without limit (a time-out of -1, and the
 *    notification thread's wait for its event), a write that waits for its
 *    completion (see @ref sio_transfers) and a message box, which waits for
 *    a person. Each bound stated here is measured on the system's clock,
 *    however long a sleep takes (Sleep(1) takes a whole timer tick, 15.6 ms
 *    by default on Windows).
 *  - The only thread the library creates is the one notification thread per
 *    port that SioNotify starts.
 *
 * @section sio_modes Overlapped and old-Windows (synchronous) mode
 * A port is opened for overlapped I/O, unless old-Windows mode is on at the
 * time of its open: it is on from the start on Windows 95 and NT 4.0, and
 * SioPortControl 'O' switches it (0 on, other values off). Each port keeps
 * the mode it was opened in until it is closed. In synchronous mode reads
 * and writes are plain system calls (the timed ones block in the system up
 * to their time-out), SioWaitEvent and SioWaitChar return `SIO_DONE` at once
 * without waiting, and nothing can wake a waiter: a wake or a close from
 * another thread does not end a timed transfer there.
 *
 * @section sio_platform Platform note: drivers whose event wait does not block
 * Where the driver's WaitCommEvent does not block (Wine on a pseudo-terminal
 * ends every wait by itself after about 2 ms and never reports data that
 * arrives later), SioWaitEvent returns `SIO_DONE` after about 2 ms, or at once
 * when data is already queued; SioWaitChar returns `SIO_DONE` after about 2 ms
 * whatever arrives (the event character is not kept there); a mask with a
 * modem-line event (`EV_CTS`, `EV_DSR`, `EV_RLSD`, `EV_RING`) gives
 * `SIO_IO_FAILED` at once. A notification thread then posts its message
 * almost at once. Poll with SioRxCount there.
 *
 * @section sio_linux On Linux
 * The same calls, results and thread rules, over a terminal device (termios),
 * with these differences, and no others:
 *  - Port names: index n is COM(n+1) as on Windows, but a COM name opens a
 *    device only where a binding made in the process (below) or the
 *    environment variable `SIO_PORT_MAP` names it, the map read at each
 *    open: `SIO_PORT_MAP="COM3=/dev/ttyUSB0,COM4=/dev/pts/5"` (entries
 *    separated by commas, the COM name in any case, then `=` and the
 *    device's path). A binding goes before the map. The library never
 *    guesses a device: the open of a port that nothing names returns
 *    `SIO_WIN_ERROR` with system error 2.
 *  - SioPortIndex also takes the path of a terminal device ("/dev/ttyUSB0",
 *    or any path that starts with '/' and leads to a character device; it is
 *    looked at, not opened). A path the map names gives the map's index;
 *    any other is bound to the lowest index that no binding and no map
 *    entry names, and keeps it for the life of the process, so the same
 *    path gives the same index again. Another path, or none free, gives
 *    `IE_BADID`.
 *  - SioNextPort and SioPortInfo list the serial devices of the kernel's
 *    device tree (the entries of /sys/class/tty that have a device, less
 *    UARTs of unknown type, the slots a driver keeps without hardware) and
 *    the names the map gives. Only files under /sys are read; no device is
 *    opened. Each device found is bound to an index as SioPortIndex binds
 *    its path ("/dev/" and its name), in name order, and the tree is read
 *    again at most every 100 ms. SioPortInfo 'N' gives the USB product's
 *    name, else its driver's, with the device's name: "FT232R USB UART
 *    (ttyUSB0)", "serial (ttyS0)"; 'U' the USB ids, "0403:6001"; 'P' the
 *    path the index reaches, "/dev/ttyUSB0". A name only the map gives, or
 *    a bound path that is not in the tree, has no 'N' or 'U' text.
 *  - An open port holds its device with an exclusive `flock` (and
 *    `TIOCEXCL`): the open of a device that another process holds so
 *    returns `SIO_WIN_ERROR` with system error 5, as Windows refuses a COM
 *    port that is in use.
 *  - SioNotify's window argument is a file descriptor (the write end of a
 *    pipe, or an eventfd; not 0, which wakes the thread as on Windows). For
 *    each message the thread writes one 8-byte value in the machine's byte
 *    order: bit 32 set, the message (low 16 bits) in bits 16..31 and the
 *    port in bits 0..15; an eventfd adds the values up.
 *  - SioReadUart returns `SIO_NO_PORT_IO` (after its port checks).
 *  - SioWinError's code is the Win32 code where the system's error has one
 *    (2 no such device, 5 access denied, 87 invalid argument, 170 busy, 1 an
 *    ioctl the device does not have), else 0x20000000 plus the errno value;
 *    its text is the system's text for that error (strerror), without a
 *    line end. With size 0 the text goes to stderr.
 *  - The library's message boxes are lines on stderr: "Info: " and the text.
 *  - A pseudo-terminal has no modem lines: there SioLineDTR and SioLineRTS
 *    'S' and 'C' return 0 (refused), SioModemCTS, SioModemDSR, SioModemRI and
 *    SioModemDCD return 0, and no modem-line, break or line-error event
 *    comes; SioBreakControl 'A' and 'C' are taken, but no break reaches the
 *    other end. On a serial device those events come from the kernel's
 *    counters (`TIOCGICOUNT`), looked at every 2 ms while a wait asks for
 *    them; `EV_TXEMPTY` comes once a write has completed and the kernel's
 *    output queue is empty, looked at every 2 ms.
 *  - Any rate is handed to the device (`termios2`, `BOTHER`); a rate or
 *    framing the device refuses, and a rate it makes more than 3 % off,
 *    make the setting call report the refusal as on Windows (SioSetBaud 0),
 *    and the device keeps its settings.
 *  - Besides the notification threads, the library runs one I/O thread per
 *    open port, from SioOpenPort until SioClosePort.
 *  - Old-Windows mode is off at the start (SioPortControl 'M' gives 0); 'O'
 *    switches it as on Windows. SioPortControl 'B' and 'H' give the
 *    library's own handle number of the port, not a file descriptor.
 */
#ifndef SIO_H
#define SIO_H

/**
 * @def SIO_API
 * @brief Declares a call as exported (building the DLL, `SIO_BUILD_DLL`),
 * imported (a program on the DLL defines `SIO_USE_DLL` before it includes
 * this header; the CMake target `sio::sio_shared` does it) or plain (the
 * static library).
 */
#if !defined(_WIN32)
/* Elsewhere there is one shared library, which exports exactly these calls. */
#define SIO_API __attribute__((visibility("default")))
#elif defined(SIO_BUILD_DLL)
#define SIO_API __declspec(dllexport)
#elif defined(SIO_USE_DLL)
#define SIO_API __declspec(dllimport)
#else
#define SIO_API
#endif

/**
 * @def SIO_CALL
 * @brief The calling convention of every call: `__cdecl`, the caller removes
 * the arguments. On 64-bit Windows there is only one convention. A 32-bit
 * program gets `__cdecl` from this header even when it compiles with another
 * default (`/Gz`, `/Gr`), and the exported names are undecorated
 * (`SioOpenPort`, not `_SioOpenPort@12`), in sio.dll, sio.def and both import
 * libraries alike.
 */
#if defined(_WIN32)
#define SIO_CALL __cdecl
#else
#define SIO_CALL
#endif

/**
 * @defgroup sio_version Version
 * @brief The version of the library this header belongs to; the library
 * itself reports it with SioQueryInfo 'V' (4.25 as 0x425).
 * @{
 */
/** @brief The major version: 4 for 4.25. */
#define SIO_VERSION_MAJOR 4
/** @brief The minor version, as written after the point: 25 for 4.25. */
#define SIO_VERSION_MINOR 25
/** @brief The build of the version, as SioQueryInfo 'B' reports it: 1 for 4.25.1. */
#define SIO_VERSION_PATCH 1
/** @brief The whole version as text, major.minor.patch: "4.25.1". */
#define SIO_VERSION_STRING "4.25.1"
/** @} */

/**
 * @defgroup sio_codes Result codes
 * @brief The negative results of the calls, and the two states of an
 * overlapped operation that the event calls return.
 *
 * `IE_` values are spelled exactly as `<windows.h>` spells them, so that
 * either header may come first without a redefinition warning.
 *
 * No call returns `IE_OPEN`, `IE_MEMORY`, `IE_DEFAULT`, `IE_HARDWARE`,
 * `IE_BYTESIZE`, `IE_BAUDRATE` or `SIO_TIMEOUT`: they are defined for
 * callers that report such conditions in the library's terms (a timed
 * transfer whose time passes returns the count it has, not `SIO_TIMEOUT`).
 * @{
 */
#ifndef IE_BADID
/** @brief The port index is outside 0..255 (and the call has no -1 form for it). */
#define IE_BADID (-1)
#endif
#ifndef IE_OPEN
/** @brief For callers only (see above). */
#define IE_OPEN (-2)
#endif
#ifndef IE_NOPEN
/** @brief The port is not open: every per-port call but SioPortControl and SioWaitChar. */
#define IE_NOPEN (-3)
#endif
#ifndef IE_MEMORY
/** @brief For callers only (see above). */
#define IE_MEMORY (-4)
#endif
#ifndef IE_DEFAULT
/** @brief For callers only (see above). */
#define IE_DEFAULT (-5)
#endif
#ifndef IE_HARDWARE
/** @brief For callers only (see above). */
#define IE_HARDWARE (-10)
#endif
#ifndef IE_BYTESIZE
/** @brief For callers only (see above). */
#define IE_BYTESIZE (-11)
#endif
#ifndef IE_BAUDRATE
/** @brief For callers only (see above). */
#define IE_BAUDRATE (-12)
#endif

/** @brief A transfer or event-wait system call failed (SioPutByte,
 * SioWriteBlock, SioGetByte, SioReadBlock, the timed transfers, SioWaitEvent,
 * SioWaitChar); no system error is kept. Equal to the failed state of an
 * overlapped operation. */
#define SIO_IO_FAILED (-13)
/** @brief Nothing moved or nothing more: SioGetByte found no byte;
 * SioPutByte, SioWriteBlock or SioWriteTimed found the port's previous write
 * still running; SioPutByte's wait for its write failed; SioNextPort found no
 * port after the one given; SioPortInfo found no such port. */
#define SIO_NO_DATA (-100)
/** @brief An argument outside its allowed values (null buffer, count or size
 * below 1, a time-out below -1, unknown letter of a line call or of
 * SioPortInfo, parameter of SioSetParams). */
#define SIO_RANGE (-101)
/** @brief A system call of SioOpenPort or SioWaitChar failed, or the device
 * refused the settings of SioSetParams or SioSetFlow; SioWinError gives its
 * error code and text. */
#define SIO_WIN_ERROR (-103)
/** @brief SioOpenPort: the system refused the queue sizes while refusal is
 * not tolerated (SioPortControl 'X' with 0). */
#define SIO_BUFFERS (-105)
/** @brief SioNotify: the notification thread cannot be created or started. */
#define SIO_THREAD (-106)
/** @brief For callers only (see above). */
#define SIO_TIMEOUT (-107)
/** @brief SioReadUart: the platform forbids direct port input (Windows NT and
 * later, Wine), or the fault guard could not be installed. A code of its own,
 * so that it cannot be mistaken for a register value or another error. */
#define SIO_NO_PORT_IO (-108)
/** @brief SioWaitEvent and SioWaitChar: the port's event wait is taken (a
 * notification thread runs for the port, or a wait of another thread is in
 * progress), or a wait that the port left outstanding has not ended yet.
 * Nothing was started and nothing was changed; the port stays usable. */
#define SIO_BUSY (-109)

/** @brief SioWaitEvent and SioWaitChar: the time-out passed before an event;
 * the system's wait stays outstanding until the port's next wait or close. */
#define SIO_PENDING 2
/** @brief SioWaitEvent and SioWaitChar: an event occurred, or the wait was
 * woken from outside, or the port is in synchronous mode. */
#define SIO_DONE 3
/** @} */

/**
 * @defgroup sio_values Names for the system's values
 * @brief The event bits (SioWaitEvent, SioNotify), the line-error bits
 * (SioLineErrors), and the parity and stop-bit values (SioSetParams), equal
 * to the system's `EV_`, `CE_`, parity and stop-bit values, for programs
 * with or without `<windows.h>`.
 * @{
 */
#define SIO_EV_RXCHAR 0x0001  /**< a byte arrived */
#define SIO_EV_RXFLAG 0x0002  /**< the event character arrived */
#define SIO_EV_TXEMPTY 0x0004 /**< the transmit queue ran empty */
#define SIO_EV_CTS 0x0008     /**< CTS changed */
#define SIO_EV_DSR 0x0010     /**< DSR changed */
#define SIO_EV_RLSD 0x0020    /**< DCD changed */
#define SIO_EV_BREAK 0x0040   /**< a break arrived */
#define SIO_EV_ERR 0x0080     /**< a line error (framing, overrun, parity) */
#define SIO_EV_RING 0x0100    /**< the ring input rose */

#define SIO_CE_RXOVER 0x0001   /**< receive queue overflow */
#define SIO_CE_OVERRUN 0x0002  /**< overrun: a byte was lost in the device */
#define SIO_CE_RXPARITY 0x0004 /**< parity error */
#define SIO_CE_FRAME 0x0008    /**< framing error */
#define SIO_CE_BREAK 0x0010    /**< break */
#define SIO_CE_TXFULL 0x0100   /**< transmit queue full */

#define SIO_PARITY_NONE 0  /**< no parity bit */
#define SIO_PARITY_ODD 1   /**< odd parity */
#define SIO_PARITY_EVEN 2  /**< even parity */
#define SIO_PARITY_MARK 3  /**< parity bit always 1 */
#define SIO_PARITY_SPACE 4 /**< parity bit always 0 */

#define SIO_STOP_1 0   /**< one stop bit */
#define SIO_STOP_1_5 1 /**< one and a half stop bits (devices take it with 5 data bits only) */
#define SIO_STOP_2 2   /**< two stop bits */
/** @} */

#ifdef __cplusplus
extern "C" {
#endif

/**
 * @defgroup sio_ports Ports
 * @brief Opening and closing ports, the line defaults of the next opens,
 * and the ports the system has.
 * @{
 */

/**
 * @brief Opens COM(port+1) with the library's line defaults, or (port -1)
 * sets whether the next opens raise DTR and RTS.
 *
 * The device is opened for overlapped I/O, or for synchronous I/O while
 * old-Windows mode is on (@ref sio_modes). It gets the default rate (19200
 * unless SioSetBaud(-1, ...) changed it), data bits, parity and stop bits
 * (8N1 unless SioSetParams(-1, ...) changed them), binary mode, no flow
 * control, DTR and RTS enabled or disabled as SioOpenPort(-1, ...) last said
 * (disabled at start), XON 0x11 and XOFF 0x13 with both limits at 128 for a
 * receive queue above 512 bytes and a quarter of it otherwise; every other
 * DCB field keeps the device's value. Then the queue sizes, a device reset
 * when SioOption 'R' asked for it, read time-outs that return at once with
 * what has arrived, and no write time-out. The device's own time-outs are
 * kept and given back at close. The device's line errors are cleared.
 *
 * @param port 0..255, or -1 for the DTR/RTS setting.
 * @param rxQueue receive queue size in bytes for the system; with port -1,
 *        bit 0 says whether the next opens raise DTR.
 * @param txQueue transmit queue size in bytes; with port -1, bit 0 says
 *        whether the next opens raise RTS.
 * @retval 0 the port is open (port -1: the setting is taken; it may be the
 *         very first call).
 * @retval IE_BADID port outside 0..255 and not -1.
 * @retval SIO_WIN_ERROR the device cannot be opened or set up; SioWinError
 *         gives the system error: 2 no such port, 5 the port is in use (this
 *         library refuses a second open of a port it holds with 5 and leaves
 *         the first one untouched), 170 the port is still held since its
 *         close for a wait or notification thread that hung in the system,
 *         or for a request of its last opening that has not ended yet
 *         (@ref sio_threads), or the error of the step that failed.
 * @retval SIO_BUFFERS the system refused the queue sizes and SioPortControl
 *         'X' turned tolerance off.
 * A failed open holds nothing: the device and events it had are released and
 * the port stays closed.
 */
SIO_API int SIO_CALL SioOpenPort(int port, int rxQueue, int txQueue);

/**
 * @brief Closes the port: ends its event wait and its notification thread,
 * gives the device back its time-outs and closes it.
 *
 * A notification thread is woken (it posts its message) and given up to 2 s
 * to end; only a thread still running after that is terminated, and one whose
 * end is refused or not seen keeps the port held until it leaves. Every
 * request the port left with the driver is ended first. The port's
 * slot is closed whatever the device's close says. The port's no-wait
 * switch, pushed-back byte and DTR/RTS records are kept for its next open.
 * May be called from another thread while a wait on the port runs: it wakes
 * the wait and closes nothing before the wait has left (@ref sio_threads).
 *
 * @param port 0..255.
 * @retval nonzero closed.
 * @retval 0 the system failed to close the device, or the port was left held
 *         because a wait of another thread did not leave it within 1 s, the
 *         notification thread could not be ended, or a request did not end
 *         (@ref sio_threads; either counted by SioQueryInfo 'c'); the slot is
 *         closed anyway.
 * @retval IE_BADID port outside 0..255.
 * @retval IE_NOPEN the port is not open, or another SioClosePort of it is
 *         closing it.
 */
SIO_API int SIO_CALL SioClosePort(int port);

/**
 * @brief The index of a port's name: "COM14", "com14" or "\\.\COM14"
 * give 13.
 * @param name COM1 .. COM256, any case, with or without the device prefix
 *        "\\.\"; 1 to 3 digits, nothing after them.
 * @return the index, 0..255.
 * @retval IE_BADID anything else, or a null name.
 */
SIO_API int SIO_CALL SioPortIndex(const char *name);

/**
 * @brief The next port that the system has now, from the system's table of
 * device names (nothing is opened).
 *
 * `for (int p = SioNextPort(-1); p >= 0; p = SioNextPort(p))` visits them
 * all, in rising order.
 * @param after -1 for the first port, else the index after which to look.
 * @return the index of the next port, 0..255.
 * @retval SIO_NO_DATA no port after it.
 * @retval IE_BADID after outside -1..255.
 */
SIO_API int SIO_CALL SioNextPort(int after);

/**
 * @brief What the system tells of a port's device, by letter, as text.
 *
 * | letter | text                                                        |
 * |--------|-------------------------------------------------------------|
 * | 'N'    | the device's friendly name, "USB Serial Port (COM7)"        |
 * | 'U'    | USB vendor and product id, "0403:6001"; empty when not USB  |
 * | 'P'    | the device path the name maps to, "\Device\Serial0"        |
 *
 * 'N' and 'U' come from the system's device setup and are empty when it
 * does not know the device. Open or not does not matter. Texts are cut to
 * size - 1 characters; 256 bytes hold any of them.
 * @param port 0..255.
 * @param letter 'N', 'U' or 'P'.
 * @param buffer where the text goes, always terminated.
 * @param size its size, 1 or more.
 * @return the length of the text placed.
 * @retval SIO_NO_DATA the system has no such port (buffer not touched).
 * @retval SIO_RANGE another letter, a null buffer or size below 1.
 * @retval IE_BADID port outside 0..255.
 */
SIO_API int SIO_CALL SioPortInfo(int port, int letter, char *buffer, int size);
/** @} */

/**
 * @defgroup sio_transfers Transfers and queues
 * @brief Byte and block transfers, the pushed-back byte, queue purges and
 * counts, and line errors.
 *
 * Reads hand back only what has already arrived: they never wait for data,
 * and return within a short bound (100 ms) even when the driver holds a read
 * back. A queue that the device's status shows empty is not read at all.
 * They read through a buffer of the port's own, at most 4096 bytes per
 * call: a read that the driver does not give up in time goes on there, never
 * in the caller's memory, and what it brings comes with the port's next read
 * call.
 * Every read (SioGetByte and SioReadBlock, unless they return a pushed-back
 * byte), and SioRxCount, SioTxCount, SioLineErrors and SioBreakControl 'D',
 * query the device's status, which clears its pending line errors (`CE_`
 * bits). Writes wait for their completion unless the port is in no-wait mode
 * (SioPortControl 'W', SioOption 'W').
 * @{
 */

/**
 * @brief Writes one byte and waits until it is written.
 * @param port 0..255, open.
 * @param byte the byte in its low 8 bits.
 * @retval 1 written.
 * @retval SIO_NO_DATA the port's previous (no-wait) write is still running,
 *         so nothing was started; or the wait for this write failed.
 * @retval SIO_IO_FAILED the write cannot start.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioPutByte(int port, int byte);

/**
 * @brief Writes a block and, unless the port is in no-wait mode, waits until
 * it is written.
 * @param port 0..255, open.
 * @param buffer the bytes; in no-wait mode it must stay unchanged until the
 *        write has completed (until a later write no longer returns
 *        `SIO_NO_DATA`).
 * @param count the number of bytes, 1 or more.
 * @return the number of bytes written; in no-wait mode 1 once the write has
 *         started.
 * @retval 0 the wait for the write failed, or the write ended having
 *         written nothing.
 * @retval SIO_RANGE null buffer or count below 1.
 * @retval SIO_NO_DATA the port's previous write is still running; nothing
 *         was started.
 * @retval SIO_IO_FAILED the write cannot start.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioWriteBlock(int port, const char *buffer, int count);

/**
 * @brief Reads one byte that has arrived, masked to the port's data bits;
 * a pushed-back byte comes first, as it was pushed, unmasked.
 *
 * Clears the device's line errors (unless it returns the pushed-back byte).
 * @param port 0..255, open.
 * @return the byte, 0..255.
 * @retval SIO_NO_DATA nothing has arrived (or a read of the port that was
 *         left running has not ended yet).
 * @retval SIO_IO_FAILED the read cannot start.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioGetByte(int port);

/**
 * @brief Reads what has arrived, up to size bytes; never waits for data.
 *
 * A pushed-back byte is handed back alone: buffer[0] is that byte and the
 * result is 1. Otherwise the device's line errors are cleared and buffer[0]
 * is set to 0 before the read, so it is 0 after a read that found nothing
 * and after `SIO_IO_FAILED`. The bytes are not masked to the data bits. The
 * system never writes into the buffer: the bytes are copied there from the
 * port's own read buffer (at most 4096 per call).
 * @param port 0..255, open.
 * @param buffer where the bytes go.
 * @param size its size in bytes, 1 or more.
 * @return the number of bytes placed in the buffer, 0 when nothing has
 *         arrived (or a read of the port that the driver did not give up in
 *         time has not ended yet).
 * @retval SIO_RANGE null buffer or size below 1 (buffer not touched).
 * @retval SIO_IO_FAILED the read cannot start.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions (buffer not touched).
 */
SIO_API int SIO_CALL SioReadBlock(int port, char *buffer, int size);

/**
 * @brief Pushes one byte back: the next SioGetByte or SioReadBlock returns
 * it before anything that arrived.
 *
 * There is one place per port; a second push replaces the first. A byte 0
 * cannot be pushed back: 0 clears the place. SioFlushRx drops it.
 * @param port 0..255, open.
 * @param byte the byte in its low 8 bits.
 * @retval 0 done.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioUngetByte(int port, int byte);

/**
 * @brief Drops what waits in the receive queue, and the pushed-back byte.
 * @param port 0..255, open.
 * @retval 0 done (the system's purge result is not looked at).
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioFlushRx(int port);

/**
 * @brief Drops what waits in the transmit queue; a write that is running
 * goes on.
 * @param port 0..255, open.
 * @retval 0 done (the system's purge result is not looked at).
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioFlushTx(int port);

/**
 * @brief The number of bytes waiting in the receive queue (the pushed-back
 * byte is not counted). Clears the device's line errors.
 * @param port 0..255, open.
 * @return the count; 0 when the status query fails.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioRxCount(int port);

/**
 * @brief The number of bytes waiting in the transmit queue; in no-wait mode
 * plus the byte count the system reported when it took the port's last
 * write. Clears the device's line errors.
 * @param port 0..255, open.
 * @return the count; the queue part is 0 when the status query fails.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioTxCount(int port);

/**
 * @brief The line errors that the device saw since its status was last
 * queried, ANDed with mask; the query clears them.
 *
 * Bits (the system's `CE_` values, `SIO_CE_` here): 0x01 receive queue
 * overflow, 0x02 overrun, 0x04 parity error, 0x08 framing error, 0x10 break,
 * 0x100 transmit queue full.
 * @param port 0..255, open.
 * @param mask the bits of interest.
 * @return the bits seen, ANDed with mask.
 * @retval -1 the status query failed.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioLineErrors(int port, int mask);

/**
 * @brief Reads until size bytes have arrived or timeoutMs has passed.
 *
 * A pushed-back byte comes first; like every read it clears the device's
 * line errors, and the bytes are not masked to the data bits. The wait is
 * the device's own time-out (set for the call and kept for the next timed
 * call; the plain transfers put the open's back) and the port's wake: no
 * polling. SioPortControl 'S' and SioClosePort from another thread end it
 * early with what it has (not in synchronous mode, @ref sio_modes).
 * @param port 0..255, open.
 * @param buffer where the bytes go.
 * @param size how many bytes to wait for, 1 or more.
 * @param timeoutMs milliseconds; 0 takes what has arrived, -1 waits without
 *        limit.
 * @return the number of bytes placed in the buffer, 0 to size.
 * @retval SIO_RANGE null buffer, size below 1 or time-out below -1.
 * @retval SIO_IO_FAILED the read cannot start and nothing was read.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions (also when a close
 *         came first).
 */
SIO_API int SIO_CALL SioReadTimed(int port, char *buffer, int size, int timeoutMs);

/**
 * @brief Reads what has arrived, up to size bytes, waiting up to timeoutMs
 * for the first byte when nothing has.
 *
 * Returns as soon as at least one byte is there. Otherwise as SioReadTimed.
 * @param port 0..255, open.
 * @param buffer where the bytes go.
 * @param size its size in bytes, 1 or more.
 * @param timeoutMs milliseconds; 0 takes what has arrived, -1 waits without
 *        limit.
 * @return the number of bytes placed in the buffer, 1 to size; 0 when none
 *         came in the time, or a wake or close came first.
 * @retval SIO_RANGE null buffer, size below 1 or time-out below -1.
 * @retval SIO_IO_FAILED the read cannot start and nothing was read.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioReadSome(int port, char *buffer, int size, int timeoutMs);

/**
 * @brief Writes a block and waits until it has left or timeoutMs has
 * passed; the rest is then not sent.
 *
 * The device's own write time-out bounds the write (under 'H' flow control
 * with CTS low the bytes wait no longer than that). Not affected by no-wait
 * mode. SioPortControl 'S' and SioClosePort from another thread end it
 * early (not in synchronous mode). A write that the driver does not give up
 * within 50 ms of its end goes on in the caller's buffer, as a no-wait write
 * does, and counts 0.
 * @param port 0..255, open.
 * @param buffer the bytes.
 * @param size the number of bytes, 1 or more.
 * @param timeoutMs milliseconds; 0 sends what can leave at once, -1 waits
 *        without limit.
 * @return the number of bytes that left, 0 to size.
 * @retval SIO_RANGE null buffer, size below 1 or time-out below -1.
 * @retval SIO_NO_DATA the port's previous (no-wait) write is still running;
 *         nothing was started.
 * @retval SIO_IO_FAILED the write cannot start.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioWriteTimed(int port, const char *buffer, int size, int timeoutMs);
/** @} */

/**
 * @defgroup sio_lines Line settings and lines
 * @brief Rate, framing, flow control, DTR and RTS, modem inputs, break, and
 * a legacy UART's registers.
 * @{
 */

/**
 * @brief Sets the port's rate, or (port -1) the rate of the next opens.
 *
 * | baud | rate  | baud | rate   |
 * |------|-------|------|--------|
 * | 0    | 110   | 5    | 9600   |
 * | 1    | 300   | 6    | 19200  |
 * | 2    | 1200  | 7    | 38400  |
 * | 3    | 2400  | 8    | 57600  |
 * | 4    | 4800  | 9    | 115200 |
 *
 * Any other value is the rate itself (a negative value as its unsigned
 * 32-bit equivalent). A rate the device refuses is not kept: the port's
 * settings stay what the device holds.
 * @param port 0..255, open, or -1 for the default.
 * @param baud a code 0..9 or a rate.
 * @retval nonzero the device took the rate.
 * @retval 0 the device refused it (SioWinError gives the system's error);
 *         or port -1 (always 0).
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioSetBaud(int port, int baud);

/**
 * @brief Sets parity, stop bits and data bits of the port, or (port -1) of
 * the next opens.
 *
 * The arguments are checked before the port. After the device took the new
 * framing, DTR and RTS that SioLineDTR / SioLineRTS last raised are raised
 * again. SioGetByte masks to the new data bits from now on.
 * @param port 0..255, open, or -1 for the defaults.
 * @param parity 0 none, 1 odd, 2 even, 3 mark, 4 space (`SIO_PARITY_`).
 * @param stopBits 0 one, 1 one and a half, 2 two (`SIO_STOP_1`,
 *        `SIO_STOP_1_5`, `SIO_STOP_2`). Devices refuse one and a half with
 *        6 to 8 data bits, and two with 5.
 * @param dataBits 5..8.
 * @retval 0 the device took the framing (or port -1: the defaults are set).
 * @retval SIO_WIN_ERROR the device refused it; SioWinError gives the
 *         system's error. The port keeps the framing the device holds, and
 *         SioGetByte masks to its data bits.
 * @retval SIO_RANGE an argument outside its values.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioSetParams(int port, int parity, int stopBits, int dataBits);

/**
 * @brief Sets the port's flow control.
 *
 * | letter | output waits for | RTS             | XON/XOFF  |
 * |--------|------------------|-----------------|-----------|
 * | 'H'    | CTS              | handshake       | off       |
 * | 'N'    | nothing          | off             | off       |
 * | 'S'    | XON/XOFF         | off             | both ways |
 *
 * After the device took the change, DTR and RTS that SioLineDTR / SioLineRTS
 * last raised are raised again.
 * @param port 0..255, open.
 * @param letter 'H', 'N' or 'S'.
 * @retval 1 the device took it.
 * @retval SIO_WIN_ERROR the device refused it; SioWinError gives the
 *         system's error. The port keeps the flow control the device holds.
 * @retval SIO_RANGE another letter.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioSetFlow(int port, int letter);

/**
 * @brief Raises, drops or reports the DTR output.
 *
 * | letter | does                                   | returns                       |
 * |--------|----------------------------------------|-------------------------------|
 * | 'S'    | raises DTR and records it              | nonzero done, 0 refused       |
 * | 'C'    | drops DTR and records it               | nonzero done, 0 refused       |
 * | 'R'    | nothing                                | 1 when the last command was 'S', else 0 |
 *
 * The record is kept even when the driver refuses the command; 'R' reports
 * the record, not the line.
 * @param port 0..255, open.
 * @param letter 'S', 'C' or 'R'.
 * @return as in the table.
 * @retval SIO_RANGE another letter.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioLineDTR(int port, int letter);

/**
 * @brief Raises, drops or reports the RTS output: as SioLineDTR, with 'R'
 * returning 2 when the last command was 'S'.
 * @param port 0..255, open.
 * @param letter 'S', 'C' or 'R'.
 * @return 'S', 'C': nonzero done, 0 refused; 'R': 2 or 0.
 * @retval SIO_RANGE another letter.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioLineRTS(int port, int letter);

/**
 * @brief The CTS input.
 * @param port 0..255, open.
 * @retval 16 on.
 * @retval 0 off, or the modem status cannot be read.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioModemCTS(int port);

/**
 * @brief The DSR input.
 * @param port 0..255, open.
 * @retval 32 on.
 * @retval 0 off, or the modem status cannot be read.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioModemDSR(int port);

/**
 * @brief The ring indicator input.
 * @param port 0..255, open.
 * @retval 64 on.
 * @retval 0 off, or the modem status cannot be read.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioModemRI(int port);

/**
 * @brief The DCD (receive line signal detect) input.
 * @param port 0..255, open.
 * @retval 128 on.
 * @retval 0 off, or the modem status cannot be read.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioModemDCD(int port);

/**
 * @brief Asserts or clears a break on the output, or reports a break seen
 * on the input.
 *
 * | letter | does                                       | returns                              |
 * |--------|--------------------------------------------|--------------------------------------|
 * | 'A'    | starts sending a break                     | nonzero done, 0 refused              |
 * | 'C'    | ends it                                    | nonzero done, 0 refused              |
 * | 'D'    | queries the device's status (see below)    | 16 when a break was seen, else 0     |
 *
 * 'D' reports a break seen since the last status query, and the query clears
 * all the device's line errors; it gives 0 also when the query fails.
 * @param port 0..255, open.
 * @param letter 'A', 'C' or 'D'.
 * @return as in the table.
 * @retval SIO_RANGE another letter.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioBreakControl(int port, int letter);

/**
 * @brief Reads one register of a legacy PC UART by direct port input.
 *
 * The address is the port's base address (COM1 0x3F8, COM2 0x2F8, COM3
 * 0x3E8, COM4 0x2E8) plus offset, low 16 bits. The port must be open
 * although the read bypasses its driver. Where the platform forbids direct
 * port input (Windows NT and later, Wine) the instruction faults; the
 * library steps over it under a fault guard of its own.
 * @param port 0..3, open.
 * @param offset the register's offset (not limited; the sum is cut to 16 bits).
 * @return the register's value, 0..255.
 * @retval -1 a port above 3 (open).
 * @retval SIO_NO_PORT_IO direct port input is forbidden, or the fault guard
 *         cannot be installed (the read is then not tried).
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioReadUart(int port, int offset);
/** @} */

/**
 * @defgroup sio_events Events and notification
 * @brief Waiting for comm events, for one character, and window
 * notification by a thread of the library.
 *
 * Event mask bits (the system's `EV_` values, `SIO_EV_` here): 0x001 a byte arrived, 0x002
 * the event character arrived, 0x004 the transmit queue ran empty, 0x008 CTS
 * changed, 0x010 DSR changed, 0x020 DCD changed, 0x040 break, 0x080 line
 * error, 0x100 ring. Which events occurred is not handed back.
 * @{
 */

/**
 * @brief Waits up to timeout ms for one of the events of mask.
 *
 * The mask is given to the device for this wait. A request that an earlier
 * wait on the port left with the driver (after `SIO_PENDING`) is ended
 * first, so it cannot end this wait. SioPortControl 'S', SioNotify with
 * window 0 and SioClosePort, called from another thread, wake the wait, also
 * one that has not begun to wait yet (@ref sio_threads). Not called while a
 * notification thread runs for the port. In synchronous mode it returns
 * `SIO_DONE` at once. See also @ref sio_platform.
 * @param port 0..255, open.
 * @param mask `EV_` bits.
 * @param timeout milliseconds; -1 waits without limit.
 * @retval SIO_DONE an event occurred, or the wait was woken, or synchronous
 *         mode.
 * @retval SIO_PENDING the time-out passed; the system's wait stays
 *         outstanding until the port's next wait or close.
 * @retval SIO_IO_FAILED the device refused the mask or the wait, or the wait
 *         itself failed.
 * @retval SIO_BUSY a notification thread runs for the port or another
 *         thread's wait is in progress on it, or the request of an earlier
 *         wait did not end within 100 ms; nothing was started.
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioWaitEvent(int port, int mask, int timeout);

/**
 * @brief Makes character the device's event character and waits up to
 * timeout ms for it to arrive (`EV_RXFLAG`).
 *
 * The character stays the event character after the call. There is no
 * not-open rule: on a closed port the device query fails with the system's
 * error.
 * @param port 0..255.
 * @param character the character in its low 8 bits.
 * @param timeout milliseconds; -1 waits without limit.
 * @retval SIO_DONE, SIO_PENDING, SIO_IO_FAILED as SioWaitEvent.
 * @retval SIO_BUSY as SioWaitEvent; the event character was not changed.
 * @retval SIO_WIN_ERROR the port's settings cannot be read or set (also on
 *         a closed port); SioWinError gives the system error.
 * @retval IE_BADID port outside 0..255.
 */
SIO_API int SIO_CALL SioWaitChar(int port, int character, int timeout);

/**
 * @brief Starts a thread that waits for the events of mask and then posts
 * one message to window; or (window 0) wakes that thread.
 *
 * The thread waits without a time limit, then posts message (its low 16
 * bits) with wParam = port and lParam = 0 to window, and ends: one message
 * per start. It has given the port up before the message arrives, so the
 * window may call SioNotify again from the message to wait for the next
 * event. A woken thread posts its message too. SioClosePort wakes the thread
 * and waits for its end. SioQueryInfo 'M' and 'm' count the threads started
 * and ended. In synchronous mode the wait returns at once, so the message
 * comes almost at once.
 * @param port 0..255, open.
 * @param window the window (an `HWND`), or 0 to wake the running thread.
 * @param message the message to post, low 16 bits.
 * @param mask `EV_` bits.
 * @retval 0 the thread was started.
 * @retval 1 window 0: the wake-up was given; or a thread already runs for
 *         the port (it keeps the window, message and mask it was started
 *         with); or a SioWaitEvent or SioWaitChar of another thread is in
 *         progress on the port, or the request of an earlier wait (left after
 *         `SIO_PENDING`) did not end within 100 ms (no thread is started: a
 *         thread never posts for a request it did not start).
 * @retval SIO_THREAD the thread cannot be created or started (with a
 *         message box "Cannot create message thread" while boxes are on).
 * @retval IE_BADID, IE_NOPEN see @ref sio_conventions.
 */
SIO_API int SIO_CALL SioNotify(int port, void *window, int message, int mask);
/** @} */

/**
 * @defgroup sio_options Options and information
 * @brief Library-wide options, per-port controls, information queries and
 * the system's text for the last kept error.
 * @{
 */

/**
 * @brief Sets a library-wide option.
 *
 * | letter | does                                                             | returns                |
 * |--------|------------------------------------------------------------------|------------------------|
 * | 'R'    | every later open resets the device; cannot be turned off         | 'R' (82)               |
 * | 'W'    | every port, open or not, is put in no-wait mode for block writes | 'W' (87)               |
 * | 'm'    | toggles the library's message boxes (on at start)                | the new state, 1 or 0  |
 *
 * Turning the message boxes on with 'm' shows "MsgBox enabled".
 * @param letter 'R', 'W' or 'm'.
 * @return as in the table.
 * @retval -1 another letter.
 */
SIO_API int SIO_CALL SioOption(int letter);

/**
 * @brief Reads or sets a per-port or library-wide control.
 *
 * | letter   | does                                                        | returns                       |
 * |----------|-------------------------------------------------------------|-------------------------------|
 * | 'B', 'H' | nothing                                                     | the handle, -1 while closed   |
 * | 'M'      | nothing                                                     | 1 in old-Windows mode, else 0 |
 * | 'O'      | old-Windows mode for later opens: on for 0, else off        | value                         |
 * | 'S'      | wakes an event wait or notification thread of the port      | 2                             |
 * | 'W'      | no-wait block writes of the port: on for nonzero low 8 bits | value                         |
 * | 'X'      | open tolerates refused queue sizes: nonzero low 8 bits      | value                         |
 *
 * 'B' and 'H' give the port's device handle as a 32-bit value. 'O' decides
 * how the ports opened afterwards are opened (synchronous while on); each
 * open port keeps its mode. 'S' does nothing in synchronous mode. 'W' is
 * kept across close and open. 'X' starts as tolerant; with 0 a
 * refusal makes SioOpenPort fail with `SIO_BUFFERS`.
 *
 * There is no not-open rule; 'O' and 'X' are library-wide whatever port
 * names them.
 * @param port 0..255.
 * @param letter one of the table.
 * @param value for 'O', 'W' and 'X'; not looked at otherwise.
 * @return as in the table.
 * @retval -1 another letter.
 * @retval IE_BADID port outside 0..255.
 */
SIO_API int SIO_CALL SioPortControl(int port, int letter, int value);

/**
 * @brief Information about the library.
 *
 * | letter | returns |
 * |--------|---------|
 * | 'V'    | the version, major and minor as two pairs of hex digits: 0x425 is 4.25 |
 * | 'B'    | the build number: 1 |
 * | 'M'    | how many notification threads have started |
 * | 'm'    | how many notification threads have ended |
 * | 'c'    | how many device and thread-handle closes have failed |
 * | '1', '2' | two spare counters, always 0 |
 * | '3', 'I' | 1 |
 * | '?'    | 999 |
 * @param letter one of the table (low 8 bits).
 * @return as in the table.
 * @retval -1 another letter.
 */
SIO_API int SIO_CALL SioQueryInfo(int letter);

/**
 * @brief The system error that the calling thread's last failing call kept
 * (see @ref sio_conventions for the calls that keep one), and its text.
 *
 * The text is the system's message for the code, usually ending in a line
 * break, except that "The system cannot find the file specified." reads "The
 * system cannot find the port specified.". Before any failure of the
 * calling thread the kept code is 0. SioWinError never fails: it returns the code whatever became of the
 * text.
 * @param buffer where the text goes (size > 0): at most size - 1 characters,
 *        always terminated, empty when the system has no text for the code.
 * @param size the buffer's size; 0 shows the text in a task-modal message
 *        box captioned "SioWinError" (whether or not message boxes are on)
 *        and leaves buffer alone; a negative size, or a null buffer with a
 *        positive size, only returns the code: no text, no box.
 * @return the kept system error code.
 */
SIO_API int SIO_CALL SioWinError(char *buffer, int size);
/** @} */

#ifdef __cplusplus
}
#endif

#endif /* SIO_H */
