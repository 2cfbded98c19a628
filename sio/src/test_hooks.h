// Hooks for the library's own tests only; never part of sio.h. The library's
// state is process-wide, so a test program that runs many tests in one
// process puts it back to its start values before each test.
#pragma once

namespace sio {

// Puts every global, every port's records and the system-call table back to
// the values they have when the process starts. Handles still held are not
// closed: the caller ends what it opened first.
void ResetForTests();

}  // namespace sio
