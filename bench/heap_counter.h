// Counts every heap allocation of the process while switched on, by patching
// the entry of ntdll's RtlAllocateHeap, where HeapAlloc, malloc and operator
// new all end up; so what it counts does not depend on how the code asked.
#pragma once

namespace bench {

// Patches the allocator's entry; false when that is not possible here.
bool InstallHeapCounter();
// Counting is off until switched on; the count only grows.
void CountAllocations(bool on);
long AllocationsCounted();

}  // namespace bench
