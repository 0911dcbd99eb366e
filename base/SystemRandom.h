#pragma once

#include <windows.h>

#include <cstddef>

// Fills `bytes` from the system's cryptographic random generator (CNG,
// loaded from the system folder). 0, or the Windows error of what failed.
DWORD FillWithSystemRandom(void* bytes, std::size_t size);
