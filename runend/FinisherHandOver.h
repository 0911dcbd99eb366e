#pragma once

#include <windows.h>

#include <cstdint>

// The one argument that starts the launcher's image as a run's finisher; only
// the launcher passes it.
inline constexpr wchar_t FinisherArgument[] = L"--finish-run";

// What the launcher writes to its finisher's standard input, the only handle
// the finisher inherits, in this order: the hand-over once the tool's pipes
// exist and before the tool is created, the tool once it runs, and the end
// note as the launcher's last act. Handle values are those of the finisher's
// own table: the launcher duplicated them into it. A value of 0 is a handle
// the run did not have (no log, no record, no mark).
struct FinisherHandOver {
  std::uint32_t Layout;  // FinisherHandOverLayout
  std::uint32_t LauncherProcessId;
  std::uint32_t WriteToolOutput;  // the tool's output was echoed, so its lines go to the log
  std::uint32_t Reserved;
  std::uint64_t LauncherProcess;  // SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
  std::uint64_t StdoutRead;
  std::uint64_t StderrRead;
  std::uint64_t LogFile;    // FILE_APPEND_DATA | SYNCHRONIZE
  std::uint64_t PatchRunMutex;    // the patch run's mutex, held until the run's end is written
  std::uint64_t PatchRunNamespace;  // the private namespace that holds it, held as long
  std::uint64_t RecordKey;  // KEY_SET_VALUE | KEY_QUERY_VALUE, with RunId
  wchar_t RunId[40];
  // Both paths are checked or made with MAX_PATH buffers, file name included.
  wchar_t ToolPath[MAX_PATH];
  wchar_t ToolVersion[48];
  wchar_t PackageSha256[65];
  wchar_t LogPath[MAX_PATH + 64];
};

// The tool's process, once it runs.
struct FinisherTool {
  std::uint32_t Layout;  // FinisherToolLayout
  std::uint32_t ToolProcessId;
  std::uint64_t ToolProcess;  // SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
};

// The launcher ended by its own exit, after its log, its record and its
// event had its end; whether that end was the tool's, or the tool runs on
// and its end is the finisher's to write. A finisher that finds the launcher
// gone without a note knows that the launcher was stopped.
struct LauncherEndNote {
  std::uint32_t Layout;  // LauncherEndNoteLayout
  std::uint32_t ToolEndWritten;
};

// Each one's size and a kind in one number, so that a message of another
// build, or another message, does not fit.
inline constexpr std::uint32_t FinisherHandOverLayout = 0x46000000u | sizeof(FinisherHandOver);
inline constexpr std::uint32_t FinisherToolLayout = 0x54000000u | sizeof(FinisherTool);
inline constexpr std::uint32_t LauncherEndNoteLayout = 0x45000000u | sizeof(LauncherEndNote);
