#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// Ids of the running processes whose executable has this file name.
std::vector<DWORD> FindProcesses(const std::wstring& exeName);

// Ends them, so a tool a launcher left running does not outlive its test.
void EndProcesses(const std::wstring& exeName);

}  // namespace testing_support
