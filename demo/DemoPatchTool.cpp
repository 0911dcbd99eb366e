// Demonstration patching tool: scripts/demo installs it as the product's
// installer\rivlet.exe. It takes the launcher's command line, checks the
// package it names, prints its progress, reports "Patch validation finished"
// once its checks are done and then takes a few seconds to "apply" the patch.
// It changes nothing on the machine.
//
// Ways out:
//   0   the patch was applied
//   87  (ERROR_INVALID_PARAMETER) the command line is not one the launcher composes
//   2   (ERROR_FILE_NOT_FOUND) the package does not exist
//   13  (ERROR_INVALID_DATA) the package is empty
// It never reads stdin: under Wine a hidden child's stdin read blocks for ever.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "demo/ConsoleText.h"
#include "demo/ToolArguments.h"

namespace {

constexpr wchar_t ToolVersion[] = L"" DEMO_TOOL_VERSION;

// Each step takes long enough for a watcher to see the run unfold.
constexpr DWORD CheckStepMs = 500;
constexpr DWORD ApplyStepMs = 1000;
constexpr int ApplySteps = 4;

std::vector<std::wstring> ArgumentsAfterProgramName() {
  std::vector<std::wstring> arguments;
  int count = 0;
  if (wchar_t** tokens = CommandLineToArgvW(GetCommandLineW(), &count)) {
    arguments.assign(tokens + (count > 0 ? 1 : 0), tokens + count);
    LocalFree(tokens);
  }
  return arguments;
}

std::wstring CurrentFolder() {
  std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
  folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
  return folder;
}

void Progress(const std::wstring& text) { WriteLine(STD_OUTPUT_HANDLE, text); }

int Fail(DWORD exitCode, const std::wstring& reason) {
  WriteLine(STD_ERROR_HANDLE, L"rivlet: " + reason);
  return static_cast<int>(exitCode);
}

void ShowDiagnostics(const ToolArguments& arguments) {
  Progress(L"Diagnostic: command line: " + std::wstring(GetCommandLineW()));
  Progress(L"Diagnostic: working folder: " + CurrentFolder());
  if (!arguments.ScriptFolder.empty()) Progress(L"Diagnostic: script folder: " + arguments.ScriptFolder);
}

}  // namespace

int wmain() {
  Progress(L"Valcrest patching tool (demonstration) " + std::wstring(ToolVersion));
  ToolArguments arguments;
  std::wstring error;
  if (!ParseToolArguments(ArgumentsAfterProgramName(), arguments, error)) {
    return Fail(ERROR_INVALID_PARAMETER, error);  // Exit: not the launcher's command line.
  }
  if (arguments.Diagnostic) ShowDiagnostics(arguments);
  if (arguments.Detach) Progress(L"Detach requested: the launcher may leave once validation is finished.");

  WIN32_FILE_ATTRIBUTE_DATA package{};
  if (!GetFileAttributesExW(arguments.Package.c_str(), GetFileExInfoStandard, &package) ||
      (package.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Fail(ERROR_FILE_NOT_FOUND, L"package not found: " + arguments.Package);  // Exit: no package.
  }
  const ULONGLONG size = (ULONGLONG{package.nFileSizeHigh} << 32) | package.nFileSizeLow;
  if (size == 0) return Fail(ERROR_INVALID_DATA, L"package is empty: " + arguments.Package);  // Exit: bad package.

  Progress(L"Checking package " + arguments.Package + L" (" + std::to_wstring(size) + L" bytes)");
  Sleep(CheckStepMs);
  Progress(L"Package signature verified.");
  Sleep(CheckStepMs);
  Progress(L"Package contents verified.");
  // The launcher may detach on this line and close its end of the pipe.
  Progress(L"Patch validation finished");

  for (int step = 1; step <= ApplySteps; ++step) {
    Progress(L"Applying patch: step " + std::to_wstring(step) + L" of " + std::to_wstring(ApplySteps));
    Sleep(ApplyStepMs);
  }
  Progress(L"Patch applied.");
  return 0;  // Exit: applied.
}
