#pragma once

#include <windows.h>

#include <cstdint>

// The one argument that starts the launcher's image as the watch of a tool
// its launcher left running; only the launcher passes it.
inline constexpr wchar_t ToolWatchArgument[] = L"--watch-rivlet";

// What the launcher hands its watch through the watch's standard input, the
// only handle it inherits. Handle values are those of the watch's own table:
// the launcher duplicated them into it while it was suspended. A value of 0
// is a handle the run did not have (no log, no record).
struct WatchHandOver {
  std::uint32_t Layout;  // WatchHandOverLayout
  std::uint32_t ToolProcessId;
  std::uint32_t LauncherProcessId;
  std::uint32_t KeepToolLines;  // the tool's output was echoed, so its lines go to the log
  std::uint64_t ToolProcess;      // SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
  std::uint64_t LauncherProcess;  // the same
  std::uint64_t StdoutRead;
  std::uint64_t StderrRead;
  std::uint64_t LogFile;    // FILE_APPEND_DATA | SYNCHRONIZE
  std::uint64_t RecordKey;  // KEY_SET_VALUE | KEY_QUERY_VALUE
  // Both paths are checked or made with MAX_PATH buffers, file name included.
  wchar_t ToolPath[MAX_PATH];
  wchar_t ToolVersion[48];
  wchar_t PackageSha256[65];
  wchar_t LogPath[MAX_PATH + 64];
};

// Its size and a version in one number, so that a record of another build
// does not fit.
inline constexpr std::uint32_t WatchHandOverLayout = 0x57000000u | sizeof(WatchHandOver);
