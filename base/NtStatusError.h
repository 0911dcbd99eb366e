#pragma once

#include <windows.h>

// An NTSTATUS (from ntdll or CNG) as the Windows error it stands for; 0 for
// success.
DWORD NtStatusError(LONG status);
