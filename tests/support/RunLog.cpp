#include "tests/support/RunLog.h"

#include <shlobj.h>

#include <algorithm>

#include "base/SystemLibraries.h"
#include "tests/support/ScratchFiles.h"

namespace testing_support {

namespace {

constexpr std::size_t TimestampLength = 24;

}  // namespace

std::wstring LogFolder() {
  wchar_t folder[MAX_PATH] = {};
  SystemLibraries::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
  return std::wstring(folder) + L"\\Rivlet";
}

bool RunLog::Has(const std::string& message) const { return IndexOf(message) >= 0; }

bool RunLog::HasPrefix(const std::string& prefix) const {
  return std::any_of(Messages.begin(), Messages.end(),
                     [&](const std::string& message) { return message.rfind(prefix, 0) == 0; });
}

int RunLog::IndexOf(const std::string& message) const {
  const auto found = std::find(Messages.begin(), Messages.end(), message);
  return found == Messages.end() ? -1 : static_cast<int>(found - Messages.begin());
}

RunLog ReadLogFile(const std::wstring& path) {
  RunLog log;
  log.Path = path;
  if (!FileExists(path)) return log;
  log.Found = true;
  log.Bytes = ReadFileBytes(path);

  std::string text = log.Bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? log.Bytes.substr(3) : log.Bytes;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    log.Lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  for (const auto& line : log.Lines) log.Messages.push_back(line.size() >= TimestampLength ? line.substr(TimestampLength) : line);
  return log;
}

RunLog ReadRunLog(const ProgramResult& run) {
  return ReadRunLog(run.ProcessId, run.StartSeconds, run.EndSeconds);
}

RunLog ReadRunLog(DWORD processId, long long startSeconds, long long endSeconds) {
  const std::wstring folder = LogFolder();
  RunLog log;
  for (long long second = startSeconds - 1; second <= endSeconds + 1; ++second) {
    const std::wstring path = folder + L"\\Mendora.Launcher-" + std::to_wstring(second) + L"-" +
                              std::to_wstring(processId) + L".txt";
    if (!FileExists(path)) continue;
    const int count = log.FileCount + 1;
    log = ReadLogFile(path);
    log.FileCount = count;
    DeleteFileW(path.c_str());
  }
  return log;
}

long long FirstFreeLogSecond(DWORD processId) {
  const std::wstring suffix = L"-" + std::to_wstring(processId) + L".txt";
  constexpr std::size_t PrefixLength = std::size(L"Mendora.Launcher-") - 1;
  long long first = 0;
  for (const std::wstring& name : LogFileNames()) {
    if (name.size() <= PrefixLength + suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    first = std::max(first, std::stoll(name.substr(PrefixLength, name.size() - PrefixLength - suffix.size())) + 1);
  }
  return first;
}

std::set<std::wstring> LogFileNames() {
  const std::vector<std::wstring> names = FolderEntries(LogFolder(), L"*.txt");
  return std::set<std::wstring>(names.begin(), names.end());
}

RunLog ReadLogAddedSince(const std::set<std::wstring>& before) {
  std::vector<std::wstring> added;
  for (const std::wstring& name : LogFileNames()) {
    if (before.count(name) == 0) added.push_back(name);
  }
  RunLog log;
  if (added.size() == 1) log = ReadLogFile(LogFolder() + L"\\" + added.front());
  log.FileCount = static_cast<int>(added.size());
  return log;
}

}  // namespace testing_support
