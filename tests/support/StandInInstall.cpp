#include "tests/support/StandInInstall.h"

#include "tests/programs/Utf8Text.h"
#include "tests/standin/StandInProtocol.h"
#include "tests/standin/ToolFiles.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/ScratchFiles.h"
#include "tests/support/VersionStamp.h"

namespace testing_support {

namespace {

bool RemovePrefix(std::string_view& line, std::string_view prefix) {
  if (line.substr(0, prefix.size()) != prefix) return false;
  line.remove_prefix(prefix.size());
  return true;
}

bool AddVariable(std::string_view entry, StandInRecord& record) {
  const std::size_t equals = entry.find('=', 1);
  if (equals == std::string_view::npos) return false;
  record.Environment.emplace(programs::FromUtf8(entry.substr(0, equals)), programs::FromUtf8(entry.substr(equals + 1)));
  return true;
}

}  // namespace

bool VariableNameLess::operator()(const std::wstring& left, const std::wstring& right) const {
  return CompareStringOrdinal(left.data(), static_cast<int>(left.size()), right.data(),
                              static_cast<int>(right.size()), TRUE) == CSTR_LESS_THAN;
}

std::wstring BuiltStandInToolPath() { return BinaryFolder() + L"StandInTool.exe"; }

bool InstallStandInTool(const std::wstring& toolPath, const std::optional<FileVersion>& version,
                        const std::string& script) {
  if (!CreateFolders(toolPath.substr(0, toolPath.find_last_of(L'\\')))) return false;
  if (!CopyFileW(BuiltStandInToolPath().c_str(), toolPath.c_str(), FALSE)) return false;
  if (version && !StampFileVersion(toolPath, version->Major, version->Minor, version->Build, version->Revision)) {
    return false;
  }
  const std::wstring recordPath = toolPath + stand_in::RecordSuffix;
  if (!DeleteFileW(recordPath.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
  return WriteStandInScript(toolPath, script);
}

bool WriteStandInScript(const std::wstring& toolPath, const std::string& script) {
  return stand_in::WriteWholeFile(toolPath + stand_in::ScriptSuffix, script);
}

std::optional<StandInRecord> ReadStandInRecord(const std::wstring& toolPath) {
  std::string text;
  if (!stand_in::ReadWholeFile(toolPath + stand_in::RecordSuffix, text)) return std::nullopt;
  return ParseStandInRecord(text);
}

std::optional<StandInRecord> ParseStandInRecord(std::string_view utf8) {
  StandInRecord record;
  std::optional<std::wstring> commandLine;
  std::optional<std::wstring> directory;
  while (!utf8.empty()) {
    const std::size_t end = utf8.find('\n');
    if (end == std::string_view::npos) return std::nullopt;  // cut short
    std::string_view line = utf8.substr(0, end);
    utf8.remove_prefix(end + 1);
    if (RemovePrefix(line, stand_in::CommandLineTag)) {
      if (commandLine) return std::nullopt;
      commandLine = programs::FromUtf8(line);
    } else if (RemovePrefix(line, stand_in::CurrentDirectoryTag)) {
      if (directory) return std::nullopt;
      directory = programs::FromUtf8(line);
    } else if (!RemovePrefix(line, stand_in::EnvironmentTag) || !AddVariable(line, record)) {
      return std::nullopt;
    }
  }
  if (!commandLine || !directory) return std::nullopt;
  record.CommandLine = *commandLine;
  record.CurrentDirectory = *directory;
  return record;
}

}  // namespace testing_support
