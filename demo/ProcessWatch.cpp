#include "demo/ProcessWatch.h"

#include <tlhelp32.h>

#include "base/UniqueHandle.h"

std::vector<RunningProcess> OpenRunningProcesses(const std::wstring& exeName) {
  std::vector<RunningProcess> found;
  const mw::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (snapshot.Get() == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, exeName.c_str()) != 0) continue;
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID)) {
      found.push_back({entry.th32ProcessID, process});
    }
  }
  return found;
}

WatchedProcesses::~WatchedProcesses() {
  for (const RunningProcess& process : Processes) CloseHandle(process.Handle);
}
