// Runs one program the way a patch package runs the launcher, with this
// process's standard handles and environment, and writes what became of it
// to a report file, because a Linux caller of Wine sees only the low 8 bits
// of an exit code and cannot wait for a Windows process it did not start:
//
//   DemoRunner <report file> <exe name to wait for> <program> [<argument text>]
//
// The argument text follows the quoted program on its command line as given.
// The report's first line is the program's exit code in decimal, all 32 bits.
// Each further line tells of a process with the given exe name (the patching
// tool) that was still running when the program ended, and how it ended: it
// is waited for, up to two minutes, so the caller may stop Wine afterwards.
//
// Ways out: 0 when the report was written; 1 with the reason on stderr.
#include <windows.h>

#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>

#include "tests/programs/ProcessList.h"
#include "tests/programs/ProgramStart.h"
#include "tests/programs/Utf8Text.h"

namespace {

constexpr DWORD LeftRunningWaitMs = 120000;

int Fail(const std::string& reason) {
  std::cerr << "DemoRunner: " << reason << std::endl;
  return 1;
}

std::string DescribeLeftRunning(const std::wstring& exeName, const programs::RunningProcess& left) {
  std::ostringstream line;
  line << programs::ToUtf8(exeName) << " (process " << left.Id << ") was still running when the program ended; ";
  const ULONGLONG waitStart = GetTickCount64();
  if (WaitForSingleObject(left.Handle.Get(), LeftRunningWaitMs) != WAIT_OBJECT_0) {
    line << "it was left running after " << LeftRunningWaitMs / 1000 << " s.";
    return line.str();
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(left.Handle.Get(), &exitCode);
  line << "it ended " << std::fixed << std::setprecision(1)
       << static_cast<double>(GetTickCount64() - waitStart) / 1000.0 << " s later with exit code " << exitCode << ".";
  return line.str();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 && argc != 5) {
    return Fail("usage: DemoRunner <report file> <exe name to wait for> <program> [<argument text>]");
  }
  const std::wstring reportPath = argv[1];
  const std::wstring leftRunningName = argv[2];
  const std::wstring program = argv[3];

  programs::ProgramStart start;
  start.Program = program;
  start.Arguments = argc == 5 ? argv[4] : L"";
  start.Handles = programs::OwnStandardHandles();
  programs::StartedProgram started;
  if (const DWORD error = programs::StartProgram(start, started)) {
    // Exit: not started.
    return Fail("cannot start " + programs::ToUtf8(program) + ", error " + std::to_string(error));
  }
  WaitForSingleObject(started.Process.Get(), INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(started.Process.Get(), &exitCode);

  std::ostringstream report;
  report << exitCode << "\n";
  // Held open so their exit codes can be read once they end.
  const DWORD waitAndRead = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
  for (const auto& running : programs::OpenProcesses(leftRunningName, waitAndRead)) {
    report << DescribeLeftRunning(leftRunningName, running) << "\n";
  }
  std::ofstream file(reportPath.c_str(), std::ios::binary | std::ios::trunc);
  file << report.str();
  if (!file.flush()) return Fail("cannot write the report " + programs::ToUtf8(reportPath));  // Exit: no report.
  return 0;  // Exit: reported.
}
