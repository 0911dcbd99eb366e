#include "tests/tools/ToolScriptRun.h"

#include "base/UniqueHandle.h"
#include "tests/tools/StandInProtocol.h"
#include "tests/tools/ToolFiles.h"
#include "tests/tools/ToolFlood.h"

namespace stand_in {

namespace {

void Write(const WriteBytes& write) {
  if (write.TimestampFile.empty()) {
    WriteOnce(write.Target, write.Bytes);
    return;
  }
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  WriteOnce(write.Target, write.Bytes);
  // Saved after the write so the file I/O does not count as latency.
  if (!WriteWholeFile(write.TimestampFile, std::to_string(now.QuadPart))) {
    FailTool("cannot write timestamp file " + ToUtf8(write.TimestampFile));
  }
}

void Start(const StartGrandchild& grandchild, const std::wstring& ownPath) {
  if (!SetEnvironmentVariableW(ScriptOverrideVariable, grandchild.ScriptFile.c_str())) {
    FailTool("cannot name the grandchild's script");
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring commandLine = L"\"" + ownPath + L"\"";
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(ownPath.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    FailTool("cannot start the grandchild, error " + std::to_string(GetLastError()));
  }
  // Not waited for: it is meant to outlive this process.
  mw::UniqueHandle processHandle(process.hProcess);
  mw::UniqueHandle threadHandle(process.hThread);
}

}  // namespace

DWORD RunScript(const std::vector<ScriptCommand>& commands, const std::wstring& ownPath) {
  for (const ScriptCommand& command : commands) {
    if (const auto* write = std::get_if<WriteBytes>(&command)) {
      Write(*write);
    } else if (const auto* sleep = std::get_if<SleepFor>(&command)) {
      Sleep(sleep->Milliseconds);
    } else if (const auto* flood = std::get_if<Flood>(&command)) {
      FloodBothStreams(flood->BytesPerStream);
    } else if (const auto* grandchild = std::get_if<StartGrandchild>(&command)) {
      Start(*grandchild, ownPath);
    } else {
      return std::get<ExitWith>(command).Code;
    }
  }
  return 0;
}

}  // namespace stand_in
