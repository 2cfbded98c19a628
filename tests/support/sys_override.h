// Test seam helpers: SysOverride keeps a copy of the library's system-call
// table and puts it back when the test scope ends, so a test can replace any
// entry (fail a call, record what the library handed over) without leaking
// the change into anything that runs after it.
#pragma once

#include <windows.h>

#include <vector>

#include "sys_table.h"

class SysOverride {
public:
    SysOverride() : saved_(sio::sys) {}
    ~SysOverride() { sio::sys = saved_; }
    SysOverride(const SysOverride&) = delete;
    SysOverride& operator=(const SysOverride&) = delete;

private:
    sio::SysTable saved_;
};

// The first count handle values that the system would hand out next. Wine
// hands out the lowest free values, so they are the same before and after a
// run exactly when the run leaked no handle, of the table's or any other kind.
std::vector<HANDLE> FreeHandleValues(int count);
