#include "launcher/ToolWatch.h"

#include <cwchar>
#include <string>

#include "log/Log.h"
#include "process/DetachedProcess.h"

namespace {

constexpr DWORD ProcessWatchAccess = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;

template <std::size_t Size>
bool CopyText(wchar_t (&to)[Size], const wchar_t* from) {
  return wcsncpy_s(to, Size, from, _TRUNCATE) == 0;
}

std::wstring OwnModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    // A cut name is not terminated and fills the buffer.
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return length != 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

}  // namespace

ToolWatch::~ToolWatch() {
  // A watch that was prepared but never handed over has run no instruction
  // of its own; it holds duplicates only, so ending it touches nothing else.
  if (Process && Thread) TerminateProcess(Process.Get(), ERROR_CANCELLED);
}

bool ToolWatch::Prepare(HANDLE toolProcess, HANDLE stdoutRead, HANDLE stderrRead, HKEY recordKey,
                        const wchar_t* toolPath, bool keepToolLines, const RunFacts& facts) {
  const std::wstring program = OwnModulePath();
  const std::wstring folder = SystemFolder();
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  DWORD error = ERROR_BAD_PATHNAME;
  if (!program.empty() && !folder.empty()) {
    // Room for the whole hand-over, so that writing it never waits for the
    // watch to have started up and read it: the launcher's end stays prompt.
    error = CreatePipe(&readEnd, &writeEnd, &inheritable, 2 * sizeof(WatchHandOver)) ? 0 : GetLastError();
  }
  const mw::UniqueHandle handOverRead(readEnd);
  HandOverWrite.Reset(writeEnd);
  if (error == 0 && !SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0)) error = GetLastError();
  if (error == 0) {
    const std::wstring commandLine = L"\"" + program + L"\" " + ToolWatchArgument;
    error = CreateDetachedSuspended(program.c_str(), commandLine.c_str(), folder.c_str(), readEnd, Process, Thread);
  }

  Record.Layout = WatchHandOverLayout;
  Record.ToolProcessId = GetProcessId(toolProcess);
  Record.LauncherProcessId = GetCurrentProcessId();
  Record.KeepToolLines = keepToolLines ? 1 : 0;
  const bool required = error == 0 && Duplicate(toolProcess, ProcessWatchAccess, Record.ToolProcess) &&
                        Duplicate(GetCurrentProcess(), ProcessWatchAccess, Record.LauncherProcess) &&
                        Duplicate(stdoutRead, 0, Record.StdoutRead) && Duplicate(stderrRead, 0, Record.StderrRead) &&
                        CopyText(Record.ToolPath, toolPath) && CopyText(Record.ToolVersion, facts.ToolVersion.c_str()) &&
                        CopyText(Record.PackageSha256, facts.PackageSha256.c_str());
  if (!required) {
    if (error == 0) error = GetLastError() != 0 ? GetLastError() : ERROR_INVALID_DATA;
    WriteLog(L"[WARNING] Could not start watching rivlet.exe, error: %d - its end will not be logged.",
             static_cast<int>(error));
    return false;
  }
  // Without these the watch still records the end where it can.
  if (const HANDLE log = LogFileHandle(); log != nullptr && CopyText(Record.LogPath, facts.LogPath.c_str())) {
    Duplicate(log, FILE_APPEND_DATA | SYNCHRONIZE, Record.LogFile);
  }
  if (recordKey != nullptr) Duplicate(recordKey, 0, Record.RecordKey);
  // The pumps' stop logs the last error after its cancel, which a success leaves as it was.
  SetLastError(ERROR_SUCCESS);
  return true;
}

void ToolWatch::HandOver() {
  if (!Process || !Thread) return;
  ResumeThread(Thread.Get());
  Thread.Close();
  const auto* bytes = reinterpret_cast<const char*>(&Record);
  DWORD left = sizeof Record;
  while (left != 0) {
    DWORD written = 0;
    if (!WriteFile(HandOverWrite.Get(), bytes, left, &written, nullptr)) {
      WriteLog(L"[WARNING] Could not hand rivlet.exe over to its watch, error: %d - its end will not be logged.",
               static_cast<int>(GetLastError()));
      return;
    }
    bytes += written;
    left -= written;
  }
  HandOverWrite.Close();
  WriteLog(L"[INFO] rivlet.exe is watched until it ends, by process %d.", static_cast<int>(GetProcessId(Process.Get())));
}

bool ToolWatch::Duplicate(HANDLE handle, DWORD access, std::uint64_t& inWatch) {
  HANDLE duplicate = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, Process.Get(), &duplicate, access, FALSE,
                       access == 0 ? DUPLICATE_SAME_ACCESS : 0)) {
    return false;
  }
  inWatch = reinterpret_cast<std::uintptr_t>(duplicate);
  return true;
}
