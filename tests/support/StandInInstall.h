#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "tests/support/VersionStamp.h"

// Puts the stand-in patching tool (tests/standin, script commands in
// tests/standin/ToolScript.h) where a test wants it and reads back what it was
// started with.
//
// The tool's record, <exe>.record, is UTF-8 text of lines each ending in one
// LF (a CR is part of the value, never a line end):
//
//   command-line <GetCommandLineW(), as it is>
//   current-directory <GetCurrentDirectoryW()>
//   environment <NAME>=<value>      one line per entry of the environment
//                                   block, in block order
//
// The tag and its single space are followed by the value up to the LF, so a
// value may hold any character but NUL and LF. An environment entry splits at
// the first '=' after its first character: entries such as "=C:=C:\dir"
// keep the leading '=' in their name.
namespace testing_support {

// Windows compares variable names without regard to case.
struct VariableNameLess {
  bool operator()(const std::wstring& left, const std::wstring& right) const;
};

struct StandInRecord {
  std::wstring CommandLine;
  std::wstring CurrentDirectory;
  // A name seen twice keeps its first value.
  std::map<std::wstring, std::wstring, VariableNameLess> Environment;
};

// The tool as built, without a version resource.
std::wstring BuiltStandInToolPath();

// Copies the built tool to toolPath (creating missing folders), stamps the
// version when one is given, writes `script` as its script and removes a
// record left by an earlier run.
bool InstallStandInTool(const std::wstring& toolPath, const std::optional<FileVersion>& version,
                        const std::string& script);

bool WriteStandInScript(const std::wstring& toolPath, const std::string& script);

// Reads <toolPath>.record; nothing when it is missing or malformed.
std::optional<StandInRecord> ReadStandInRecord(const std::wstring& toolPath);
std::optional<StandInRecord> ParseStandInRecord(std::string_view utf8);

}  // namespace testing_support
