#include "tests/standin/ToolRecord.h"

#include <windows.h>

#include <cwchar>

#include "tests/programs/Utf8Text.h"
#include "tests/standin/StandInProtocol.h"
#include "tests/standin/ToolFiles.h"

namespace stand_in {

namespace {

void AppendLine(std::string& record, const char* tag, std::wstring_view value) {
  record += tag;
  record += programs::ToUtf8(value);
  record += '\n';
}

std::wstring CurrentDirectory() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::wstring directory(size, L'\0');
  directory.resize(GetCurrentDirectoryW(size, directory.data()));
  return directory;
}

}  // namespace

bool WriteRecord(const std::wstring& recordPath) {
  std::string record;
  AppendLine(record, CommandLineTag, GetCommandLineW());
  AppendLine(record, CurrentDirectoryTag, CurrentDirectory());
  wchar_t* block = GetEnvironmentStringsW();
  if (block == nullptr) return false;
  // Entries as the block holds them, "=C:=C:\dir" ones included.
  for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    AppendLine(record, EnvironmentTag, entry);
  }
  FreeEnvironmentStringsW(block);
  return WriteWholeFile(recordPath, record);
}

}  // namespace stand_in
