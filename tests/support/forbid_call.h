// Forbid(sys.Entry) replaces an entry of the system-call table with a fake
// that fails the test when the library calls it: for tests that prove a path
// makes no system call at all.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

template <typename Fn>
struct ForbiddenCall;

template <typename R, typename... Args>
struct ForbiddenCall<R(WINAPI*)(Args...)> {
    static R WINAPI Call(Args...) {
        ADD_FAILURE() << "unexpected system call";
        return R{};
    }
};

template <typename Fn>
void Forbid(Fn& entry) {
    entry = &ForbiddenCall<Fn>::Call;
}
