#include "runend/FinisherRun.h"

#include <cwchar>
#include <string>

#include "base/DllSearchOrder.h"
#include "base/OwnImage.h"
#include "base/ToolFileName.h"
#include "log/Log.h"
#include "process/ToolOutputLog.h"
#include "runend/FinisherHandOver.h"
#include "runend/RunEvents.h"
#include "runend/RunRecord.h"
#include "runend/ToolEnd.h"

// Ways out, each marked "Exit:" below: nothing handed over, or not what a
// launcher hands over (writing nothing); no tool handed over (its output
// logged, no end); the launcher writes or wrote the tool's end itself
// (writing nothing); nothing to wait on; the tool's end recorded here; the
// finisher gave up logging and drained the tool to its end.

namespace {

HANDLE AsHandle(std::uint64_t value) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value)); }

// Reads one whole message of the launcher's; false at the pipe's end, which
// is where a launcher that ended without sending it leaves the reader.
template <typename Message>
bool Receive(HANDLE input, Message& message, std::uint32_t layout) {
  auto* bytes = reinterpret_cast<char*>(&message);
  DWORD left = sizeof message;
  while (left != 0) {
    DWORD read = 0;
    if (!ReadFile(input, bytes, left, &read, nullptr) || read == 0) return false;
    bytes += read;
    left -= read;
  }
  return message.Layout == layout;
}

// A value names one of this process's own handles.
bool IsHandle(std::uint64_t value) {
  DWORD flags = 0;
  return value != 0 && GetHandleInformation(AsHandle(value), &flags);
}

bool IsProcess(std::uint64_t value, std::uint32_t processId) {
  return IsHandle(value) && processId != GetCurrentProcessId() && GetProcessId(AsHandle(value)) == processId;
}

bool IsOfFileType(std::uint64_t value, DWORD type) { return IsHandle(value) && GetFileType(AsHandle(value)) == type; }

bool IsKey(std::uint64_t value) {
  return IsHandle(value) && RegQueryInfoKeyW(static_cast<HKEY>(AsHandle(value)), nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr) == ERROR_SUCCESS;
}

template <std::size_t Size>
void Terminate(wchar_t (&text)[Size]) {
  text[Size - 1] = L'\0';
}

// Whoever starts the finisher can hand it only handles of their own; it
// checks that each one is of the kind a launcher hands over before it uses
// any.
bool FitsAHandOver(FinisherHandOver& handOver) {
  Terminate(handOver.RunId);
  Terminate(handOver.ToolPath);
  Terminate(handOver.ToolVersion);
  Terminate(handOver.PackageSha256);
  Terminate(handOver.LogPath);
  return IsProcess(handOver.LauncherProcess, handOver.LauncherProcessId) &&
         IsOfFileType(handOver.StdoutRead, FILE_TYPE_PIPE) && IsOfFileType(handOver.StderrRead, FILE_TYPE_PIPE) &&
         (handOver.LogFile == 0 || IsOfFileType(handOver.LogFile, FILE_TYPE_DISK)) &&
         (handOver.PatchRunMutex == 0 || IsHandle(handOver.PatchRunMutex)) &&
         (handOver.PatchRunNamespace == 0 || IsHandle(handOver.PatchRunNamespace)) &&
         (handOver.RecordKey == 0 || (IsKey(handOver.RecordKey) && handOver.RunId[0] != L'\0'));
}

bool FitsATool(const FinisherTool& tool, const FinisherHandOver& handOver) {
  return IsProcess(tool.ToolProcess, tool.ToolProcessId) && tool.ToolProcessId != handOver.LauncherProcessId;
}

struct HandedOver {
  explicit HandedOver(const FinisherHandOver& handOver)
      : Launcher(AsHandle(handOver.LauncherProcess)),
        StdoutRead(AsHandle(handOver.StdoutRead)),
        StderrRead(AsHandle(handOver.StderrRead)),
        PatchRunMutex(AsHandle(handOver.PatchRunMutex)),
        PatchRunNamespace(AsHandle(handOver.PatchRunNamespace)),
        Record(static_cast<HKEY>(AsHandle(handOver.RecordKey)), handOver.RunId),
        Facts{handOver.ToolVersion, handOver.PackageSha256, handOver.LogPath} {}

  mw::UniqueHandle Tool;
  mw::UniqueHandle Launcher;
  mw::UniqueHandle StdoutRead;  // closed after the readers have finished
  mw::UniqueHandle StderrRead;
  // Held to the end: no second run starts before this run's end is written.
  mw::UniqueHandle PatchRunMutex;
  mw::UniqueHandle PatchRunNamespace;
  RunRecord Record;
  RunFacts Facts;
};

std::wstring SignedText(DWORD code) { return std::to_wstring(static_cast<int>(code)); }

void ReportLeftOut(const ToolLineBudget& budget, const RunLimits& limits) {
  if (budget.LeftOutLines() == 0) return;
  WriteLog(L"[WARNING] The log keeps at most %s bytes of %s's lines: %s lines (%s bytes of its output) "
           L"were left out.",
           std::to_wstring(limits.ToolLogBytes).c_str(), ToolFileName, std::to_wstring(budget.LeftOutLines()).c_str(),
           std::to_wstring(budget.LeftOutBytes()).c_str());
}

// The tool's end, written where the launcher did not write it.
void RecordToolEnd(HandedOver& handed, const wchar_t* toolPath) {
  const RunOutcome end = ReadToolEnd(handed.Tool.Get(), toolPath);
  handed.Record.End(end);
  const std::wstring exitCode = end.What == RunOutcome::Kind::ToolEnded ? SignedText(end.Code) : L"";
  ReportRunEvent(FinisherEndEvent(end), ReportFor(end).Line, exitCode, handed.Facts);
}

// After its tool has ended the launcher joins its pumps and writes the end;
// it is given that long and a little more.
DWORD LauncherEndMs(const RunLimits& limits) { return static_cast<DWORD>(2 * limits.PumpJoinMs + 5000); }

// The tool ended first: the launcher writes the end, then its note, then
// waits for this process to go (so that what the run used can be removed).
// True once the note is there or the launcher has gone; false when neither
// came within `ms`.
bool NoteOrLauncherEnd(HANDLE input, HANDLE launcher, DWORD ms) {
  constexpr DWORD LookAgainMs = 5;
  const ULONGLONG deadline = GetTickCount64() + ms;
  for (;;) {
    DWORD available = 0;
    // A pipe whose writer has gone fails the peek: the read then finds its end.
    if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) || available >= sizeof(LauncherEndNote)) {
      return true;
    }
    if (WaitForSingleObject(launcher, LookAgainMs) == WAIT_OBJECT_0) return true;
    if (GetTickCount64() >= deadline) return false;
  }
}

}  // namespace

bool IsFinisherCommand(int argumentCount, const wchar_t* const* arguments) {
  return argumentCount == 2 && std::wcscmp(arguments[1], FinisherArgument) == 0;
}

int RunFinisher(const RunLimits& limits) {
  RestrictDllSearchOrder();
  // Held while it runs, as the launcher holds its own: a package that removes
  // its folder finds the image in use, and leaves it, on every system.
  OwnImageFile image;
  image.Hold();
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE || GetFileType(input) != FILE_TYPE_PIPE) {
    return ERROR_INVALID_DATA;  // Exit: nothing handed over.
  }
  FinisherHandOver handOver{};
  if (!Receive(input, handOver, FinisherHandOverLayout) || !FitsAHandOver(handOver)) {
    return ERROR_INVALID_DATA;  // Exit: not a hand-over.
  }
  HandedOver handed(handOver);
  FinisherTool tool{};
  const bool toolHandedOver = Receive(input, tool, FinisherToolLayout);
  if (toolHandedOver && !FitsATool(tool, handOver)) return ERROR_INVALID_DATA;  // Exit: not a hand-over.
  if (handOver.LogFile != 0 && !AttachLog(AsHandle(handOver.LogFile))) handed.Facts.LogPath.clear();

  ToolLineBudget budget(limits.ToolLogBytes);
  ToolOutputReaders readers;
  const bool writeToolOutput = handOver.WriteToolOutput != 0;
  if (!toolHandedOver) {
    // The launcher was stopped between the pipes' making and the tool's
    // hand-over: whatever the tool writes is still read, but its end is not known.
    WaitForSingleObject(handed.Launcher.Get(), INFINITE);
    WriteLog(L"[WARNING] The launcher was stopped as it started %s - its output is logged, its end is not known.",
             ToolFileName);
    readers.Start(handed.StdoutRead.Get(), handed.StderrRead.Get(), writeToolOutput, budget);
    readers.Finish(limits.FinisherGiveUpMs, limits.PumpJoinMs);
    ReportLeftOut(budget, limits);
    CloseLog();
    return ERROR_INVALID_DATA;  // Exit: no tool to record.
  }
  handed.Tool.Reset(AsHandle(tool.ToolProcess));

  // The launcher's pumps read the pipes while it lives: the finisher reads
  // nothing until it has gone. When the tool ends first, as in most runs, the
  // launcher is given the seconds it needs to write the end.
  const HANDLE launcherAndTool[] = {handed.Launcher.Get(), handed.Tool.Get()};
  const DWORD first = WaitForMultipleObjects(2, launcherAndTool, FALSE, INFINITE);
  if (first == WAIT_OBJECT_0 + 1 && !NoteOrLauncherEnd(input, handed.Launcher.Get(), LauncherEndMs(limits))) {
    return 0;  // Exit: the launcher, still running, writes the tool's end itself.
  }
  if (first != WAIT_OBJECT_0 && first != WAIT_OBJECT_0 + 1) return ERROR_INVALID_HANDLE;  // Exit: nothing to wait on.
  LauncherEndNote note{};
  const bool launcherStopped = !Receive(input, note, LauncherEndNoteLayout);
  if (!launcherStopped && note.ToolEndWritten != 0) return 0;  // Exit: the launcher wrote the tool's end.

  // The tool's end is the finisher's to write, and its pipes are read from
  // here now, so the tool's writes keep succeeding.
  const bool toolRanOn = !launcherStopped || WaitForSingleObject(handed.Tool.Get(), 0) == WAIT_TIMEOUT;
  if (launcherStopped && toolRanOn) {
    WriteLog(L"[WARNING] The launcher was stopped before %s ended.", ToolFileName);
    handed.Record.MarkDetached();
  } else if (launcherStopped) {
    WriteLog(L"[WARNING] The launcher was stopped before it recorded %s's end.", ToolFileName);
  }
  readers.Start(handed.StdoutRead.Get(), handed.StderrRead.Get(), writeToolOutput, budget);
  const DWORD waited = WaitForSingleObject(handed.Tool.Get(), limits.FinisherGiveUpMs);
  if (waited != WAIT_OBJECT_0) {
    const DWORD error = GetLastError();
    budget.StopLogging();
    if (waited == WAIT_TIMEOUT) {
      WriteLog(L"[WARNING] %s still runs %d seconds after its launcher ended - "
               L"its output is read on but no longer logged, and its end is not recorded.",
               ToolFileName, static_cast<int>(limits.FinisherGiveUpMs / 1000));
    } else {
      WriteLog(L"[WARNING] Could not wait for %s, error: %d - "
               L"its output is read on but no longer logged, and its end is not recorded.",
               ToolFileName, static_cast<int>(error));
    }
    handed.Record.Abandon();
    ReportRunEvent(FinisherAbandonedEvent,
                   std::wstring(ToolFileName) + L" still ran when its finisher gave up; its end is not known.", L"",
                   handed.Facts);
    CloseLog();
    WaitForSingleObject(handed.Tool.Get(), INFINITE);
    readers.Finish(static_cast<DWORD>(limits.PumpJoinMs), limits.PumpJoinMs);
    return ERROR_TIMEOUT;  // Exit: gave up logging; the tool was read to its end.
  }

  // A process the tool started may hold its pipes: their drain is bounded.
  readers.Finish(static_cast<DWORD>(limits.PumpJoinMs), limits.PumpJoinMs);
  ReportLeftOut(budget, limits);
  if (toolRanOn) WriteLog(L"[INFO] The launcher had already ended; %s ended now.", ToolFileName);
  RecordToolEnd(handed, handOver.ToolPath);
  CloseLog();
  return 0;  // Exit: the tool's end is recorded.
}
