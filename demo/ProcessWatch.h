#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/UniqueHolder.h"

// A process that was still running when it was found, held open so that its
// exit code can be read once it ends.
struct RunningProcess {
  DWORD Id = 0;
  mw::UniqueHandle Handle;
};

// Opens every running process whose executable has this file name.
std::vector<RunningProcess> OpenRunningProcesses(const std::wstring& exeName);
