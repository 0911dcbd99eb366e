#include "launcher/WatchRun.h"

#include <cwchar>
#include <string>

#include "base/DllSearchOrder.h"
#include "launcher/RunEvents.h"
#include "launcher/RunRecord.h"
#include "launcher/ToolEnd.h"
#include "launcher/WatchHandOver.h"
#include "log/Log.h"
#include "process/ToolOutputLog.h"

// Ways out, each marked "Exit:" below: nothing handed over, or not what a
// launcher hands over (writing nothing); the watch gave up (the tool runs
// on); the tool's end recorded.

namespace {

HANDLE AsHandle(std::uint64_t value) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value)); }

bool ReceiveHandOver(WatchHandOver& handOver) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE || GetFileType(input) != FILE_TYPE_PIPE) return false;
  auto* bytes = reinterpret_cast<char*>(&handOver);
  DWORD left = sizeof handOver;
  while (left != 0) {
    DWORD read = 0;
    if (!ReadFile(input, bytes, left, &read, nullptr) || read == 0) return false;
    bytes += read;
    left -= read;
  }
  return handOver.Layout == WatchHandOverLayout;
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

// Whoever starts the watch can hand it only handles of their own; it checks
// that each one is of the kind a launcher hands over before it uses any.
bool FitsAHandOver(WatchHandOver& handOver) {
  handOver.ToolPath[std::size(handOver.ToolPath) - 1] = L'\0';
  handOver.ToolVersion[std::size(handOver.ToolVersion) - 1] = L'\0';
  handOver.PackageSha256[std::size(handOver.PackageSha256) - 1] = L'\0';
  handOver.LogPath[std::size(handOver.LogPath) - 1] = L'\0';
  return IsProcess(handOver.ToolProcess, handOver.ToolProcessId) &&
         IsProcess(handOver.LauncherProcess, handOver.LauncherProcessId) &&
         handOver.ToolProcessId != handOver.LauncherProcessId && IsOfFileType(handOver.StdoutRead, FILE_TYPE_PIPE) &&
         IsOfFileType(handOver.StderrRead, FILE_TYPE_PIPE) &&
         (handOver.LogFile == 0 || IsOfFileType(handOver.LogFile, FILE_TYPE_DISK)) &&
         (handOver.RecordKey == 0 || IsKey(handOver.RecordKey));
}

struct HandedOver {
  explicit HandedOver(const WatchHandOver& handOver)
      : Tool(AsHandle(handOver.ToolProcess)),
        Launcher(AsHandle(handOver.LauncherProcess)),
        StdoutRead(AsHandle(handOver.StdoutRead)),
        StderrRead(AsHandle(handOver.StderrRead)),
        Record(static_cast<HKEY>(AsHandle(handOver.RecordKey))),
        Facts{handOver.ToolVersion, handOver.PackageSha256, handOver.LogPath} {}

  mw::UniqueHandle Tool;
  mw::UniqueHandle Launcher;
  mw::UniqueHandle StdoutRead;  // closed after the readers have finished
  mw::UniqueHandle StderrRead;
  RunRecord Record;
  RunFacts Facts;
};

std::wstring SignedText(DWORD code) { return std::to_wstring(static_cast<int>(code)); }

}  // namespace

bool IsToolWatchCommand(int argumentCount, const wchar_t* const* arguments) {
  return argumentCount == 2 && std::wcscmp(arguments[1], ToolWatchArgument) == 0;
}

int RunToolWatch(const RunLimits& limits) {
  RestrictDllSearchOrder();
  WatchHandOver handOver{};
  if (!ReceiveHandOver(handOver) || !FitsAHandOver(handOver)) return ERROR_INVALID_DATA;  // Exit: not a hand-over.
  HandedOver handed(handOver);
  if (handOver.LogFile != 0 && !AttachLog(AsHandle(handOver.LogFile))) handed.Facts.LogPath.clear();

  ToolOutputReaders readers;
  readers.Start(handed.StdoutRead.Get(), handed.StderrRead.Get(), handOver.KeepToolLines != 0);
  const DWORD waited = WaitForSingleObject(handed.Tool.Get(), limits.WatchGiveUpMs);
  if (waited != WAIT_OBJECT_0) {
    const DWORD error = GetLastError();
    readers.Finish(0, limits.PumpJoinMs);
    if (waited == WAIT_TIMEOUT) {
      WriteLog(L"[WARNING] rivlet.exe still runs %d seconds after its launcher ended - it is left running, its end "
               L"is not logged.",
               static_cast<int>(limits.WatchGiveUpMs / 1000));
    } else {
      WriteLog(L"[WARNING] Could not wait for rivlet.exe, error: %d - it is left running, its end is not logged.",
               static_cast<int>(error));
    }
    handed.Record.Abandon();
    ReportRunEvent(WatchAbandonedEvent, L"rivlet.exe still ran when its watch ended; its end is not known.", L"",
                   handed.Facts);
    CloseLog();
    return ERROR_TIMEOUT;  // Exit: gave up; the tool runs on.
  }

  // A process the tool started may hold its pipes: their drain is bounded.
  readers.Finish(static_cast<DWORD>(limits.PumpJoinMs), limits.PumpJoinMs);
  // Its last lines are written by now: the end goes after them.
  WaitForSingleObject(handed.Launcher.Get(), limits.WatchGiveUpMs);
  WriteLog(L"[INFO] The launcher had already ended; rivlet.exe ended now.");
  const RunOutcome end = ReadToolEnd(handed.Tool.Get(), handOver.ToolPath);
  handed.Record.End(end);
  const std::wstring exitCode = end.What == RunOutcome::Kind::ToolEnded ? SignedText(end.Code) : L"";
  ReportRunEvent(WatchedEndEvent(end), ReportFor(end).Line, exitCode, handed.Facts);
  CloseLog();
  return 0;  // Exit: the tool's end is recorded.
}
