#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace testing_support {

// A run record as a detection rule reads it: the 64-bit view's key for one
// package, each value as it is there (absent values empty).
struct RunRecordValues {
  bool Exists = false;
  std::wstring State;
  std::optional<DWORD> ExitCode;
  std::wstring Started;
  std::wstring Ended;
  std::wstring ToolVersion;
  std::optional<DWORD> Detached;
  std::wstring Log;
};

RunRecordValues ReadRunRecord(const std::wstring& packageSha256);

// Polls the record until its State is `state`, at most timeoutMs; the last
// values read.
RunRecordValues WaitForRunRecordState(const std::wstring& packageSha256, const std::wstring& state,
                                      DWORD timeoutMs);

// Writes the end an earlier run of the package left: "ended" with its exit
// code, under another RunId. Whether it could.
bool WriteEarlierRunEnd(const std::wstring& packageSha256, DWORD exitCode);

// Removes every run record, so a test starts, and leaves, without one.
void RemoveRunRecords();

// Lowercase hex SHA-256 of the bytes, as the record's key names a package.
std::wstring Sha256Text(const std::string& bytes);

}  // namespace testing_support
