#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/UniqueHolder.h"

namespace programs {

// Ids of the running processes whose executable has this file name.
std::vector<DWORD> FindProcesses(const std::wstring& exeName);

// A process found running, held open so it can be waited for or ended.
struct RunningProcess {
  DWORD Id = 0;
  mw::UniqueHandle Handle;
};

// Those of them that could be opened with this access.
std::vector<RunningProcess> OpenProcesses(const std::wstring& exeName, DWORD access);

// Ends them, so a tool a launcher left running does not outlive its test.
void EndProcesses(const std::wstring& exeName);

}  // namespace programs
