#pragma once

#include <windows.h>

#include "base/UniqueHolder.h"

// Starts a program with no console at all (none of its own, none of its
// parent's, so no console host either), with `input` as its standard input
// and no other standard handle, inheriting `input` and nothing else. 0 and
// the process, or the failing call's error.
DWORD StartConsolelessProcess(const wchar_t* program, const wchar_t* commandLine, const wchar_t* workingFolder,
                              HANDLE input, mw::UniqueHandle& process);
