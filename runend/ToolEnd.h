#pragma once

#include <windows.h>

#include "runend/RunOutcome.h"

// The end of a tool that has ended, read from its process and logged in the
// lines a run that waited for it writes: ToolEnded with its exit code, or
// ExitCodeUnreadable with the error.
RunOutcome ReadToolEnd(HANDLE toolProcess, const wchar_t* toolPath);
