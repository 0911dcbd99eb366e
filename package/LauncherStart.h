#pragma once

#include <windows.h>

// The launcher's name in the staging folder (PayloadFormat::LauncherName).
inline constexpr wchar_t LauncherFileName[] = L"Mendora.Launcher.exe";

// How the launcher's run ended for the package.
struct LauncherRun {
  enum class Outcome { Ended, NotStarted, WaitFailed };
  Outcome Result = Outcome::NotStarted;
  DWORD Error = 0;     // the system's, when it could not be started or waited for
  DWORD ExitCode = 0;  // all 32 bits, once it has ended
};

// Runs `folder`\Mendora.Launcher.exe in `folder` (a staging folder's path)
// with this process's standard handles as the only handles it inherits, and
// waits for its end.
LauncherRun RunStagedLauncher(const wchar_t* folder);
