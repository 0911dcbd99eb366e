#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A process that was still running when it was found, held open so that its
// exit code can be read once it ends.
struct RunningProcess {
  DWORD Id = 0;
  HANDLE Handle = nullptr;  // closed by the owner (see WatchedProcesses)
};

// Opens every running process whose executable has this file name.
std::vector<RunningProcess> OpenRunningProcesses(const std::wstring& exeName);

// Closes what OpenRunningProcesses opened.
class WatchedProcesses {
 public:
  explicit WatchedProcesses(std::vector<RunningProcess> processes) : Processes(std::move(processes)) {}
  WatchedProcesses(const WatchedProcesses&) = delete;
  WatchedProcesses& operator=(const WatchedProcesses&) = delete;
  ~WatchedProcesses();

  const std::vector<RunningProcess>& List() const { return Processes; }

 private:
  std::vector<RunningProcess> Processes;
};
