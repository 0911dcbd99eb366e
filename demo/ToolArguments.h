#pragma once

#include <string>
#include <vector>

// What the launcher passes to the patching tool, after the tool's own path:
//   /encfile "<package>" [/var scriptdir "<folder>"] [diagnostic] [detach]
struct ToolArguments {
  std::wstring Package;
  std::wstring ScriptFolder;  // given for old packages only
  bool Diagnostic = false;
  bool Detach = false;
};

// Reads the arguments that follow the program name. False when one is unknown
// or incomplete, or when no package is named; `error` then says which.
bool ParseToolArguments(const std::vector<std::wstring>& arguments, ToolArguments& parsed, std::wstring& error);
