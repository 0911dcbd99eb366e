#include "tests/support/ProcessList.h"

#include <tlhelp32.h>

#include "base/UniqueHolder.h"

namespace testing_support {

std::vector<DWORD> FindProcesses(const std::wstring& exeName) {
  std::vector<DWORD> ids;
  // Fails with INVALID_HANDLE_VALUE, as CreateFileW does.
  const mw::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, exeName.c_str()) == 0) ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

void EndProcesses(const std::wstring& exeName) {
  for (DWORD id : FindProcesses(exeName)) {
    const mw::UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (!process) continue;
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), 5000);
  }
}

}  // namespace testing_support
