#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "tests/support/ProgramRun.h"
#include "tests/support/RunLog.h"
#include "tests/support/ScratchFiles.h"
#include "tests/support/StandInInstall.h"

namespace testing_support {

// New enough for the echo and for detach.
inline constexpr FileVersion CurrentTool{7, 9, 12, 40};

// The launcher's own standard-output lines as they reach a pipe.
inline const std::string StartedLine = "Patch execution started.\r\n";
inline const std::string SucceededLine = "Patch execution finished successfully.\r\n";

// Names the scratch folder a world makes for itself.
struct ScratchTag {
  std::wstring Name;
};

struct LauncherOutcome {
  ProgramResult Result;
  RunLog Log;
  std::optional<StandInRecord> Tool;  // what the tool received, when it was started
};

// A machine with Valcrest installed in one folder and a patch package (a copy
// of the launcher and, when added, its package files) in another. Removes
// the product registration and both folders when created and when destroyed.
class LauncherWorld {
 public:
  LauncherWorld(std::wstring installFolder, std::wstring packageFolder,
                const wchar_t* launcherBuild = L"Mendora.Launcher.exe");
  // Both folders ("Valcrest" and "pkg") in a scratch folder of the world's own.
  explicit LauncherWorld(const ScratchTag& scratch, const wchar_t* launcherBuild = L"Mendora.Launcher.exe");
  LauncherWorld(const LauncherWorld&) = delete;
  LauncherWorld& operator=(const LauncherWorld&) = delete;
  ~LauncherWorld();

  const std::wstring& InstallFolder() const { return Install; }
  const std::wstring& PackageFolder() const { return Package; }
  std::wstring ToolPath() const { return Install + L"\\installer\\rivlet.exe"; }
  // A drive root ("C:\\") as the package folder keeps its backslash.
  std::wstring PackagePath(const std::wstring& name) const {
    return Package + (Package.back() == L'\\' ? L"" : L"\\") + name;
  }
  std::wstring LauncherPath() const { return PackagePath(L"Mendora.Launcher.exe"); }

  bool InstallTool(const std::optional<FileVersion>& version, const std::string& script = "");

  // Waits until no launcher image runs, at most timeoutMs: a run's finisher
  // ends once its tool has ended and its end is written. Whether none is left.
  static bool WaitForFinishersToEnd(DWORD timeoutMs);
  bool AddPackageFile(const std::wstring& name);

  // Runs the launcher copy with SFXCMD set (or unset), from the test's folder,
  // printing its events (EventTrace).
  LauncherOutcome Run(const std::optional<std::wstring>& sfxcmd, DWORD timeoutMs = 120000) const;
  // The same with a request of the test's own; its program is the launcher copy.
  LauncherOutcome Run(ProgramRequest request) const;

 private:
  void Prepare(const wchar_t* launcherBuild);
  void RemoveEverything() const;

  std::optional<ScratchFolder> Scratch;  // removed last, after the folders in it
  std::wstring Install;
  std::wstring Package;
};

}  // namespace testing_support
