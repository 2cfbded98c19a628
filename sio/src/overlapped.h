// The overlapped transfer layer: one read, one write and one event wait per
// port, each driven in steps (start, wait, finish) whose outcome is kept as an
// IoStatus in the port's PortIo, so a later call finds what an earlier call
// left running. In synchronous mode the system calls block and the wait and
// finish steps only report what the blocking call did.
#pragma once

#include <windows.h>

namespace sio {

int StartRead(int port, void* buffer, DWORD size);
int StartWrite(int port, const void* buffer, DWORD count);
int AwaitRead(int port, DWORD timeout);
int AwaitWrite(int port, DWORD timeout);
DWORD FinishRead(int port);
DWORD FinishWrite(int port);
int GetWriteStatus(int port);
// Sets the events to wait for and starts the wait; the system reports the
// events that occurred into the port's PortIo::eventMask, which outlives a
// wait that ended by time-out. The mask is taken by value so that an earlier
// wait completing meanwhile cannot change what is asked for.
int StartEventWait(int port, DWORD mask);
int AwaitEventWait(int port, DWORD timeout);
// Ends the port's event wait if its WaitCommEvent is still outstanding (the
// wait was woken from outside or timed out): cancels that request alone and
// collects it, so that it cannot complete later into another wait's storage
// and event and make that wait report an event that never happened. False
// when the request did not end within a short bound: it stays outstanding,
// and no new wait may start on the port until it has ended.
bool EndOutstandingEventWait(int port);

// Ends every request that the port's opening may have left with the driver
// (a read left running, a no-wait write, an event wait), each within a short
// bound: true once all are over, so that a later opening can use the port's
// OVERLAPPEDs, events and read buffer. False while one still runs.
bool EndOpeningRequests(int port);
// After the device was closed (which ends every request of it, though the
// system may report that late): true once the requests that
// EndOpeningRequests could not end have ended, within a short bound, read
// from their OVERLAPPEDs alone.
bool OpeningRequestsOver(int port);

// Ends a started read as soon as what has already arrived is collected. The
// port's read time-outs ask for a read that returns at once; a driver that
// leaves such a read pending (Wine does on an empty queue) gets it cancelled,
// and the bytes it moved before it ended become the read's count: SIO_DONE.
// SIO_PENDING when the read did not end within a short bound: it goes on in
// the storage it was given, so reads are given the port's own buffer.
int AwaitArrivedRead(int port);
// The same for a started write: one that still runs is cancelled, and the
// bytes that left before it ended become its count.
int AwaitEndedWrite(int port);

}  // namespace sio
