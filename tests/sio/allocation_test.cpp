// The library allocates nothing from the heap: 100,000 calls across the
// public interface, on the virtual driver (which keeps its devices in static
// storage), with every heap allocation of the process counted.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "heap_counter.h"
#include "sio.h"
#include "virtual_serial_driver.h"

namespace {

constexpr int kEnd = 2;  // COM3 on the virtual driver
constexpr int kFar = 3;  // the other end of its cable

// Twenty calls of every family; the number of results that were wrong.
int TwentyCalls(int cycle) {
    static char buffer[16];
    int wrong = 0;
    wrong += SioPutByte(kEnd, 'A') != 1;
    wrong += SioWriteBlock(kEnd, "bcd", 3) != 3;
    wrong += SioGetByte(kFar) != 'A';
    wrong += SioReadBlock(kFar, buffer, sizeof buffer) != 3;
    wrong += SioUngetByte(kFar, 'u') != 0;
    wrong += SioGetByte(kFar) != 'u';
    wrong += SioRxCount(kFar) != 0;
    wrong += SioTxCount(kEnd) != 0;
    wrong += SioLineErrors(kFar, -1) != 0;
    wrong += (cycle % 2 ? SioFlushTx(kEnd) : SioFlushRx(kFar)) != 0;
    wrong += SioSetBaud(kFar, cycle % 10) == 0;  // the sending end keeps its rate: writes take line time
    wrong += SioSetParams(kEnd, NOPARITY, ONESTOPBIT, 8) != 0;
    wrong += SioSetFlow(kEnd, 'N') != 1;
    wrong += SioLineDTR(kEnd, cycle % 2 ? 'S' : 'C') == 0;
    wrong += SioModemDSR(kFar) != (cycle % 2 ? 32 : 0);
    wrong += SioBreakControl(kFar, 'D') != 0;
    wrong += SioWaitEvent(kEnd, EV_RING, 0) != SIO_PENDING;
    wrong += SioPortControl(kEnd, 'M', 0) != 0;
    wrong += SioQueryInfo('V') != 0x425;
    wrong += SioOption('?') != -1;
    return wrong;
}

// The timed transfers and the port names (the device-setup texts come from
// the system's own allocations, so 'N' and 'U' are not counted here).
int TimedAndNameCalls() {
    static char buffer[16];
    int wrong = 0;
    wrong += SioWriteTimed(kEnd, "ef", 2, 1000) != 2;
    wrong += SioReadTimed(kFar, buffer, 2, 1000) != 2;
    wrong += SioReadSome(kFar, buffer, sizeof buffer, 0) != 0;
    wrong += SioPortIndex("\\\\.\\COM3") != kEnd;
    wrong += SioNextPort(1) != kEnd;
    wrong += SioPortInfo(kEnd, 'P', buffer, sizeof buffer) <= 0;
    return wrong;
}

TEST(Allocation, HundredThousandCallsAllocateNothing) {
    VirtualSerialDriver driver;
    ASSERT_TRUE(bench::InstallHeapCounter());
    ASSERT_EQ(SioOpenPort(kEnd, 1024, 1024), 0);
    ASSERT_EQ(SioOpenPort(kFar, 1024, 1024), 0);
    ASSERT_NE(SioSetBaud(kEnd, 9), 0);
    TwentyCalls(0);  // whatever the system sets up once is not the library's
    TimedAndNameCalls();

    // The counter must see allocations made each way before its 0 means anything.
    long before = bench::AllocationsCounted();
    bench::CountAllocations(true);
    void* volatile block = malloc(16);
    int* volatile object = new int(1);
    void* volatile heapBlock = HeapAlloc(GetProcessHeap(), 0, 16);
    bench::CountAllocations(false);
    free(block);
    delete object;
    HeapFree(GetProcessHeap(), 0, heapBlock);
    ASSERT_GE(bench::AllocationsCounted() - before, 3);

    before = bench::AllocationsCounted();
    int wrong = 0;
    bench::CountAllocations(true);
    for (int cycle = 1; cycle <= 5000; ++cycle) wrong += TwentyCalls(cycle);
    for (int cycle = 1; cycle <= 1000; ++cycle) wrong += TimedAndNameCalls();
    bench::CountAllocations(false);
    EXPECT_EQ(bench::AllocationsCounted() - before, 0);
    EXPECT_EQ(wrong, 0);
    EXPECT_NE(SioClosePort(kEnd), 0);
    EXPECT_NE(SioClosePort(kFar), 0);
}

}  // namespace
