// Patching the entry and not a trampoline: the patch writes a jump to the
// hook over the first bytes; the hook puts the original bytes back for the
// length of one call, under a spin lock, and patches again. That serialises
// allocations while installed, which is all a counting benchmark needs.
#include "heap_counter.h"

#include <windows.h>

#include <string.h>

namespace bench {
namespace {

using AllocateFn = PVOID(WINAPI*)(PVOID heap, ULONG flags, SIZE_T size);

AllocateFn allocate = nullptr;
unsigned char original[16];
unsigned char jump[16];
size_t jumpLength = 0;
volatile LONG busy = 0;
volatile LONG counting = 0;
volatile LONG counted = 0;

void WriteEntry(const unsigned char* bytes) {
    memcpy(reinterpret_cast<void*>(allocate), bytes, jumpLength);
    FlushInstructionCache(GetCurrentProcess(), reinterpret_cast<void*>(allocate), jumpLength);
}

PVOID WINAPI CountingAllocate(PVOID heap, ULONG flags, SIZE_T size) {
    while (InterlockedExchange(&busy, 1)) YieldProcessor();
    if (counting) InterlockedIncrement(&counted);
    WriteEntry(original);
    PVOID block = allocate(heap, flags, size);
    WriteEntry(jump);
    InterlockedExchange(&busy, 0);
    return block;
}

// mov rax, hook; jmp rax (x64) or mov eax, hook; jmp eax (x86).
void BuildJump() {
    auto hook = reinterpret_cast<UINT_PTR>(&CountingAllocate);
    size_t at = 0;
    if (sizeof hook == 8) jump[at++] = 0x48;
    jump[at++] = 0xB8;
    memcpy(jump + at, &hook, sizeof hook);
    at += sizeof hook;
    jump[at++] = 0xFF;
    jump[at++] = 0xE0;
    jumpLength = at;
}

}  // namespace

bool InstallHeapCounter() {
    if (allocate) return true;  // patched already: patching again would save the jump as the original
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (!ntdll) return false;
    allocate =
        reinterpret_cast<AllocateFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlAllocateHeap")));
    if (!allocate) return false;
    DWORD oldProtection = 0;
    if (!VirtualProtect(reinterpret_cast<void*>(allocate), sizeof original, PAGE_EXECUTE_READWRITE,
                        &oldProtection))
        return false;
    memcpy(original, reinterpret_cast<void*>(allocate), sizeof original);
    BuildJump();
    WriteEntry(jump);
    return true;
}

void CountAllocations(bool on) { InterlockedExchange(&counting, on ? 1 : 0); }

long AllocationsCounted() { return counted; }

}  // namespace bench
