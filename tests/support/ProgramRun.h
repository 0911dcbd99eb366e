#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tests/programs/ProgramStart.h"

namespace testing_support {

struct ProgramRequest {
  std::wstring Program;        // full path; quoted on the command line
  std::wstring Arguments;      // appended after the quoted program, when not empty
  std::wstring WorkingFolder;  // empty: the test's own
  std::wstring InputFile;      // standard input; empty: NUL
  programs::EnvironmentChanges Environment;  // to the test's own
  DWORD TimeoutMs = 120000;
  // Called with the process id before the program's first instruction runs.
  std::function<void(DWORD processId)> BeforeResume;
};

struct ProgramResult {
  bool Started = false;
  DWORD StartError = 0;
  bool TimedOut = false;  // the program was terminated after TimeoutMs
  DWORD ExitCode = 0;     // all 32 bits, as GetExitCodeProcess reports them
  DWORD ProcessId = 0;
  long long StartSeconds = 0;  // the clock, in seconds since 1970, before the start
  long long EndSeconds = 0;    // and after the end
  bool PipesOutlivedProgram = false;  // something it started still held its output pipes
  std::string Stdout;     // raw bytes
  std::string Stderr;
};

// Starts the program with piped standard output and error, drains both,
// and waits for it within the time-out. Never blocks for ever: readers still
// held open by a grandchild are abandoned after the program has ended.
ProgramResult RunProgram(const ProgramRequest& request);

// Folder of the running test executable, ending in a backslash. The launcher
// and the helper programs are built next to it.
std::wstring BinaryFolder();

}  // namespace testing_support
