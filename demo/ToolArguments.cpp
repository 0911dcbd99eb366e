#include "demo/ToolArguments.h"

bool ParseToolArguments(const std::vector<std::wstring>& arguments, ToolArguments& parsed, std::wstring& error) {
  parsed = {};
  const std::size_t count = arguments.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::wstring& argument = arguments[i];
    if (argument == L"/encfile" && i + 1 < count) {
      parsed.Package = arguments[++i];
    } else if (argument == L"/var" && i + 2 < count && arguments[i + 1] == L"scriptdir") {
      parsed.ScriptFolder = arguments[i + 2];
      i += 2;
    } else if (argument == L"diagnostic") {
      parsed.Diagnostic = true;
    } else if (argument == L"detach") {
      parsed.Detach = true;
    } else {
      error = L"unknown or incomplete argument: " + argument;
      return false;
    }
  }
  if (parsed.Package.empty()) {
    error = L"no package given: expected /encfile \"<package>\"";
    return false;
  }
  return true;
}
