#include "runend/FinisherStart.h"

#include <cwchar>
#include <string>

#include "base/HandleDuplicate.h"
#include "base/SystemFolder.h"
#include "base/ToolFileName.h"
#include "log/Log.h"
#include "process/ConsolelessProcess.h"

namespace {

constexpr DWORD ProcessWatchAccess = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;

// Room for every message, so that no write waits for the finisher to read:
// the launcher's start and end stay prompt.
constexpr DWORD HandOverPipeSize = 2 * (sizeof(FinisherHandOver) + sizeof(FinisherTool) + sizeof(LauncherEndNote));

template <std::size_t Size>
bool CopyText(wchar_t (&to)[Size], const wchar_t* from) {
  return wcsncpy_s(to, Size, from, _TRUNCATE) == 0;
}

void WarnNotFinished(DWORD error) {
  WriteLog(L"[WARNING] Could not start the run's finisher, error: %d - "
           L"%s's end after the launcher will not be logged.",
           static_cast<int>(error), ToolFileName);
}

}  // namespace

FinisherStart::~FinisherStart() {
  if (Process && !HandedOver) End(ERROR_CANCELLED);
}

bool FinisherStart::Start() {
  // Held, so that the file at this path is the launcher's own until the run ends.
  const std::wstring program = Image.Path();
  wchar_t folder[MAX_PATH];
  const UINT folderLength = SystemFolder(folder);
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  DWORD error = program.empty() ? Image.Error() : folderLength == 0 ? ERROR_BAD_PATHNAME : 0;
  if (error == 0) error = CreatePipe(&readEnd, &writeEnd, &inheritable, HandOverPipeSize) ? 0 : GetLastError();
  const mw::UniqueHandle handOverRead(readEnd);
  HandOverWrite.Reset(writeEnd);
  if (error == 0 && !SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0)) error = GetLastError();
  if (error == 0) {
    const std::wstring commandLine = L"\"" + program + L"\" " + FinisherArgument;
    error = StartConsolelessProcess(program.c_str(), commandLine.c_str(), folder, readEnd, Process);
  }
  if (error != 0) {
    HandOverWrite.Close();
    WarnNotFinished(error);
    return false;
  }
  return true;
}

void FinisherStart::HandOver(HANDLE stdoutRead, HANDLE stderrRead, HANDLE patchRunMutex, HANDLE patchRunNamespace,
                             const RunRecord& record, const wchar_t* toolPath, bool writeToolOutput,
                             const RunFacts& facts) {
  if (!Process) return;
  FinisherHandOver handOver{};
  handOver.Layout = FinisherHandOverLayout;
  handOver.LauncherProcessId = GetCurrentProcessId();
  handOver.WriteToolOutput = writeToolOutput ? 1 : 0;
  const bool required = Duplicate(GetCurrentProcess(), ProcessWatchAccess, handOver.LauncherProcess) &&
                        Duplicate(stdoutRead, 0, handOver.StdoutRead) &&
                        Duplicate(stderrRead, 0, handOver.StderrRead) && CopyText(handOver.ToolPath, toolPath) &&
                        CopyText(handOver.ToolVersion, facts.ToolVersion.c_str()) &&
                        CopyText(handOver.PackageSha256, facts.PackageSha256.c_str());
  if (!required) {
    End(GetLastError() != 0 ? GetLastError() : ERROR_INVALID_DATA);
    return;
  }
  // Without these the finisher still records the end where it can.
  if (const HANDLE log = LogFileHandle(); log != nullptr && CopyText(handOver.LogPath, facts.LogPath.c_str())) {
    Duplicate(log, FILE_APPEND_DATA | SYNCHRONIZE, handOver.LogFile);
  }
  if (patchRunMutex != nullptr) Duplicate(patchRunMutex, 0, handOver.PatchRunMutex);
  if (patchRunNamespace != nullptr) Duplicate(patchRunNamespace, 0, handOver.PatchRunNamespace);
  if (record.Handle() != nullptr && CopyText(handOver.RunId, record.Id().c_str()) &&
      !Duplicate(record.Handle(), KEY_SET_VALUE | KEY_QUERY_VALUE, handOver.RecordKey)) {
    handOver.RunId[0] = L'\0';
  }
  if (!Write(&handOver, sizeof handOver)) {
    End(GetLastError());
    return;
  }
  HandedOver = true;
}

void FinisherStart::HandOverTool(HANDLE toolProcess) {
  if (!HandedOver) return;
  FinisherTool tool{FinisherToolLayout, 0, 0};
  if (toolProcess == nullptr) {
    End(ERROR_CANCELLED);
    return;
  }
  tool.ToolProcessId = GetProcessId(toolProcess);
  if (!Duplicate(toolProcess, ProcessWatchAccess, tool.ToolProcess) || !Write(&tool, sizeof tool)) {
    End(GetLastError());
  }
}

void FinisherStart::NoteLauncherEnd(bool toolEndWritten) {
  if (!HandedOver) return;
  const LauncherEndNote note{LauncherEndNoteLayout, toolEndWritten ? 1u : 0u};
  Write(&note, sizeof note);
  HandOverWrite.Close();
  // With the tool's end written the finisher has nothing left to do and
  // ends at once: waited for, so that the launcher's caller finds nothing of
  // the run in use (the package removes its folder). After a detach it runs on.
  constexpr DWORD FinisherEndMs = 5000;
  if (toolEndWritten) WaitForSingleObject(Process.Get(), FinisherEndMs);
}

DWORD FinisherStart::ProcessId() const { return HandedOver ? GetProcessId(Process.Get()) : 0; }

bool FinisherStart::Duplicate(HANDLE handle, DWORD access, std::uint64_t& inFinisher) {
  const HANDLE duplicate = DuplicateInto(Process.Get(), handle, access, false);
  inFinisher = reinterpret_cast<std::uintptr_t>(duplicate);
  return duplicate != nullptr;
}

bool FinisherStart::Write(const void* message, DWORD size) {
  const auto* bytes = static_cast<const char*>(message);
  while (size != 0) {
    DWORD written = 0;
    if (!WriteFile(HandOverWrite.Get(), bytes, size, &written, nullptr)) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

void FinisherStart::End(DWORD error) {
  // It has not been handed the tool, so it has done nothing yet: ending it
  // touches nothing else.
  TerminateProcess(Process.Get(), ERROR_CANCELLED);
  Process.Close();
  HandOverWrite.Close();
  HandedOver = false;
  if (error != ERROR_CANCELLED) WarnNotFinished(error);
}
