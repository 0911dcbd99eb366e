#pragma once

#include <windows.h>

// How many bytes one read of a tool's output pipe takes at most: the pumps'
// and the finisher's readers' size, which the throughput benchmark's plain
// copy uses too.
inline constexpr DWORD PipeReadSize = 4090;
