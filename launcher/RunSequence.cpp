#include "launcher/RunSequence.h"

#include <windows.h>

#include <iostream>

#include "base/GuardedString.h"
#include "base/SystemLibraries.h"
#include "launcher/ConsoleLine.h"
#include "launcher/ConsoleSetup.h"
#include "launcher/LaunchOptions.h"
#include "launcher/ProcessState.h"
#include "launcher/Wow64Detection.h"
#include "log/Log.h"
#include "product/Environment.h"
#include "product/InstallPath.h"

// Ways out of RunSteps, each marked "Exit:" below; every one of them passes
// through RunLauncher, which closes the log last.
//   3  no installation folder.

namespace {

const wchar_t* BoolText(bool value) { return value ? L"true" : L"false"; }

void CreateDetachEvent() {
  DetachEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

int RunSteps() {
  const bool isWow64 = DetectWow64();
  WriteLog(L"[INFO] use isWOW64: %s.", BoolText(isWow64));

  mw::String installPath;
  FindInstallPath(installPath, isWow64);

  const OptionSet options = ReadLaunchOptions();

  CreateDetachEvent();

  if (installPath.GetLength() == 0) {
    WriteLog(L"[ERROR] installation path not found!");
    WriteConsoleLine(std::wcerr, L"Product installation path not found.");
    return 3;  // Exit: no product.
  }
  WriteLog(L"[INFO] installation path found: %s", installPath.GetText());
  return 0;
}

}  // namespace

int RunLauncher() {
  SetConsoleModes();
  RestrictDllSearchOrder();
  // Load bearing: only after the search order is restricted.
  SystemLibraries::Load();
  PrepareEnvironment();
  OpenLog();
  const int exitCode = RunSteps();
  CloseLog();
  return exitCode;
}
