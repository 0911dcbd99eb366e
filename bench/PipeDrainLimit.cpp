// The fastest the launcher could pass a tool's standard output on, for the
// throughput benchmark: starts the tool the way the launcher does and copies
// its standard-output pipe to this program's standard output with the
// launcher's read size, bytes unchanged, until the pipe ends.
//
// Exit codes: 0 copied all, 2 bad arguments, 3 the tool did not start, 4 a
// write failed.
#include <windows.h>

#include <string>

#include "process/ChildProcess.h"
#include "process/PipeRead.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
  ChildProcess<void*> tool;
  if (tool.Start(commandLine.c_str(), nullptr) != 0) return 3;

  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  char buffer[PipeReadSize];
  DWORD count = 0;
  while (ReadFile(tool.StdoutRead.Get(), buffer, sizeof buffer, &count, nullptr) && count != 0) {
    DWORD written = 0;
    if (!WriteFile(output, buffer, count, &written, nullptr) || written != count) return 4;
  }
  WaitForSingleObject(tool.Process.Get(), INFINITE);
  return 0;
}
