#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>

#include "base/UniqueHolder.h"

namespace programs {

// The standard handles a started program gets; each inheritable, or null.
struct StandardHandles {
  HANDLE Input = nullptr;
  HANDLE Output = nullptr;
  HANDLE Error = nullptr;
};

// This process's own, for a child that writes where its parent does.
StandardHandles OwnStandardHandles();

// An inheritable handle for reading the file (NUL: no input); empty when it cannot be opened.
mw::UniqueFileHandle OpenInheritableForReading(const std::wstring& path);

struct InheritablePipe {
  mw::UniqueHandle Read;
  mw::UniqueHandle Write;
};

// A pipe whose write end a child may inherit and whose read end it may not,
// so the reads end when the child does. 0 or the failing call's error (both
// ends closed then).
DWORD CreateInheritablePipe(InheritablePipe& pipe);

// A value sets the variable, nullopt removes it.
using EnvironmentChanges = std::map<std::wstring, std::optional<std::wstring>>;

// This process's environment with the changes made, as a block for ProgramStart.
std::wstring EnvironmentBlockWith(const EnvironmentChanges& changes);

struct ProgramStart {
  std::wstring Program;           // full path
  std::wstring Arguments;         // see QuotedCommandLine
  StandardHandles Handles;
  std::wstring EnvironmentBlock;  // empty: this process's environment
  std::wstring WorkingFolder;     // empty: this process's
  bool Suspended = false;         // the caller resumes StartedProgram::Thread
};

struct StartedProgram {
  mw::UniqueHandle Process;
  mw::UniqueHandle Thread;
  DWORD ProcessId = 0;
};

// The program in quotes, then a space and the arguments when there are any.
std::wstring QuotedCommandLine(const std::wstring& program, const std::wstring& arguments);

// Starts the program with every inheritable handle of this process, unlike
// the launcher's restricted start. 0 and the started program, or
// CreateProcessW's error.
DWORD StartProgram(const ProgramStart& start, StartedProgram& started);

// The full path of this program's executable.
std::wstring OwnProgramPath();

// The system folder, without a final separator.
std::wstring SystemFolderPath();

}  // namespace programs
