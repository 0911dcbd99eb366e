#include "demo/ProcessWatch.h"

#include <tlhelp32.h>

#include <utility>


std::vector<RunningProcess> OpenRunningProcesses(const std::wstring& exeName) {
  std::vector<RunningProcess> found;
  // Fails with INVALID_HANDLE_VALUE, as CreateFileW does.
  const mw::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, exeName.c_str()) != 0) continue;
    mw::UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (process) found.push_back({entry.th32ProcessID, std::move(process)});
  }
  return found;
}
