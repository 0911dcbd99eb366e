#include "tests/standin/ToolScriptRun.h"

#include "tests/programs/ProgramStart.h"
#include "tests/programs/Utf8Text.h"
#include "tests/standin/StandInProtocol.h"
#include "tests/standin/ToolFiles.h"
#include "tests/standin/ToolFlood.h"

namespace stand_in {

namespace {

LARGE_INTEGER Now() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now;
}

void SaveTimestamp(const std::wstring& file, LARGE_INTEGER time) {
  if (!WriteWholeFile(file, std::to_string(time.QuadPart))) {
    FailTool("cannot write timestamp file " + programs::ToUtf8(file));
  }
}

void Write(const WriteBytes& write) {
  const LARGE_INTEGER before = Now();
  const bool wrote = WriteOnce(write.Target, write.Bytes);
  // Saved after the write so the file I/O does not count as latency.
  if (!write.TimestampFile.empty()) SaveTimestamp(write.TimestampFile, before);
  if (!wrote && write.ExitOnFailure) ExitProcess(WriteFailedExitCode);
}

// Tells on stdout whether the handle let it write: whether it was inherited.
void WriteTo(const WriteToHandle& write) {
  DWORD written = 0;
  const bool wrote = WriteFile(reinterpret_cast<HANDLE>(write.Handle), write.Bytes.data(),
                               static_cast<DWORD>(write.Bytes.size()), &written, nullptr) != FALSE;
  WriteOnce(Stream::Out, wrote ? "written" : "failed");
}

// Nothing runs after an exit, so here the file I/O does count, making a
// latency measured from this time a little longer than it is.
DWORD Exit(const ExitWith& exit) {
  if (!exit.TimestampFile.empty()) SaveTimestamp(exit.TimestampFile, Now());
  return exit.Code;
}

void Start(const StartGrandchild& grandchild, const std::wstring& ownPath) {
  programs::ProgramStart start;
  start.Program = ownPath;
  start.Handles = programs::OwnStandardHandles();
  start.EnvironmentBlock = programs::EnvironmentBlockWith({{ScriptOverrideVariable, grandchild.ScriptFile}});
  // Not waited for: it is meant to outlive this process.
  programs::StartedProgram started;
  if (const DWORD error = programs::StartProgram(start, started); error != 0) {
    FailTool("cannot start the grandchild, error " + std::to_string(error));
  }
}

}  // namespace

DWORD RunScript(const std::vector<ScriptCommand>& commands, const std::wstring& ownPath) {
  for (const ScriptCommand& command : commands) {
    if (const auto* write = std::get_if<WriteBytes>(&command)) {
      Write(*write);
    } else if (const auto* writeTo = std::get_if<WriteToHandle>(&command)) {
      WriteTo(*writeTo);
    } else if (const auto* sleep = std::get_if<SleepFor>(&command)) {
      Sleep(sleep->Milliseconds);
    } else if (const auto* flood = std::get_if<Flood>(&command)) {
      if (flood->StdoutOnly) {
        FloodStdout(flood->BytesPerStream);
      } else {
        FloodBothStreams(flood->BytesPerStream);
      }
    } else if (const auto* grandchild = std::get_if<StartGrandchild>(&command)) {
      Start(*grandchild, ownPath);
    } else {
      return Exit(std::get<ExitWith>(command));
    }
  }
  return 0;
}

}  // namespace stand_in
