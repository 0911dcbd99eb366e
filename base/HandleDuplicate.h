#pragma once

#include <windows.h>

// A duplicate of `handle`, one of this process's, in `target`'s handle table
// (GetCurrentProcess() for this process): with `access`, or the same access
// when it is 0; inheritable or not. Null, with the system's error, when it
// cannot be made. The value is the target's: for another process only that
// process may use it.
HANDLE DuplicateInto(HANDLE target, HANDLE handle, DWORD access, bool inheritable);
