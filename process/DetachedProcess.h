#pragma once

#include <windows.h>

#include "base/UniqueHolder.h"

// Starts a program suspended, detached from every console (no console of its
// own, none of its parent's), with `input` as its standard input and no other
// standard handle, inheriting `input` and nothing else. 0 and the process and
// its first thread, which the caller resumes; or the failing call's error.
DWORD CreateDetachedSuspended(const wchar_t* program, const wchar_t* commandLine, const wchar_t* workingFolder,
                              HANDLE input, mw::UniqueHandle& process, mw::UniqueHandle& thread);
