#include "tests/programs/ProcessList.h"

#include <tlhelp32.h>

#include <utility>

namespace programs {

std::vector<DWORD> FindProcesses(const std::wstring& exeName) {
  std::vector<DWORD> ids;
  // Fails with INVALID_HANDLE_VALUE, as CreateFileW does.
  const mw::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, exeName.c_str()) == 0) ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

std::vector<RunningProcess> OpenProcesses(const std::wstring& exeName, DWORD access) {
  std::vector<RunningProcess> opened;
  for (const DWORD id : FindProcesses(exeName)) {
    mw::UniqueHandle process(OpenProcess(access, FALSE, id));
    if (process) opened.push_back({id, std::move(process)});
  }
  return opened;
}

void EndProcesses(const std::wstring& exeName) {
  for (const RunningProcess& process : OpenProcesses(exeName, PROCESS_TERMINATE | SYNCHRONIZE)) {
    TerminateProcess(process.Handle.Get(), 1);
    WaitForSingleObject(process.Handle.Get(), 5000);
  }
}

}  // namespace programs
