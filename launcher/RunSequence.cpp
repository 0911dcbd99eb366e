#include "launcher/RunSequence.h"

#include <windows.h>

#include <iostream>

#include "base/GuardedString.h"
#include "launcher/ConsoleLine.h"
#include "launcher/ConsoleSetup.h"
#include "launcher/ProcessState.h"
#include "launcher/Wow64Detection.h"

// Ways out, each marked "Exit:" below:
//   3  no installation folder.

namespace {

void CreateDetachEvent() {
  DetachEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

int RunSteps() {
  const bool isWow64 = DetectWow64();
  static_cast<void>(isWow64);

  mw::String installPath;

  CreateDetachEvent();

  if (installPath.GetLength() == 0) {
    WriteConsoleLine(std::wcerr, L"Product installation path not found.");
    return 3;  // Exit: no product.
  }
  return 0;
}

}  // namespace

int RunLauncher() {
  SetConsoleModes();
  RestrictDllSearchOrder();
  return RunSteps();
}
