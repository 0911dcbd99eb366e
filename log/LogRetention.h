#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Keeps the log folder in bounds: each run, once its own log is open,
// removes the oldest logs beyond the newest KeptLogs, and every log older
// than KeptLogDays, so that a machine patched monthly for years, with
// retries, does not pile them up on the system drive.
inline constexpr std::size_t KeptLogs = 50;
inline constexpr std::int64_t KeptLogDays = 365;

// A log's name, "Mendora.Launcher-<seconds since 1970>-<process id>.txt".
struct LogName {
  std::int64_t Seconds;
  std::uint32_t ProcessId;
};

// Whether `name` has exactly that shape (digits only, nothing before or
// after); its parts in `parsed`.
bool ParseLogName(const std::wstring& name, LogName& parsed);

// Which of `names` go, at `now` (seconds since 1970): those of the log's
// shape beyond the newest KeptLogs, and those older than KeptLogDays. `own`,
// this run's log, never goes and does not count; other names never go.
std::vector<std::wstring> LogsToRemove(const std::vector<std::wstring>& names, const std::wstring& own,
                                       std::int64_t now);

// Removes them from the log folder held by `folder` (at `folderPath`): each
// opened inside it as itself, never through a link, and removed only when it
// is a plain file at exactly its path that nobody holds (a run's finisher
// holds its log while it may still write it).
void TrimLogFolder(HANDLE folder, const wchar_t* folderPath, const std::wstring& own);
