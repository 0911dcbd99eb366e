#include "log/LogRetention.h"

#include <algorithm>
#include <cwchar>

#include "base/FinalPath.h"
#include "base/NtFileOpen.h"
#include "base/WholeNumber.h"

namespace {

constexpr wchar_t Prefix[] = L"Mendora.Launcher-";
constexpr wchar_t Suffix[] = L".txt";

std::int64_t SecondsSince1970() {
  constexpr std::int64_t TicksFrom1601To1970 = 116444736000000000;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return ((std::int64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime) - TicksFrom1601To1970) / 10000000;
}

void RemoveLog(HANDLE folder, const wchar_t* folderPath, const std::wstring& name) {
  // Whoever still holds it (without delete sharing) keeps it.
  const NtOpenRequest request{DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT};
  mw::UniqueHandle file;
  if (NtOpenInFolder(folder, name.c_str(), request, file) < 0) return;
  BY_HANDLE_FILE_INFORMATION information{};
  const std::wstring path = std::wstring(folderPath) + L"\\" + name;
  if (!GetFileInformationByHandle(file.Get(), &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IsAtPath(file.Get(), path.c_str())) {
    return;
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition);
}

}  // namespace

bool ParseLogName(const std::wstring& name, LogName& parsed) {
  const std::size_t prefix = std::size(Prefix) - 1;
  const std::size_t suffix = std::size(Suffix) - 1;
  if (name.size() <= prefix + suffix || name.compare(0, prefix, Prefix) != 0 ||
      name.compare(name.size() - suffix, suffix, Suffix) != 0) {
    return false;
  }
  const std::wstring middle = name.substr(prefix, name.size() - prefix - suffix);
  const std::size_t dash = middle.find(L'-');
  std::uint64_t seconds = 0;
  std::uint64_t processId = 0;
  if (dash == std::wstring::npos || !ParseWholeNumber(middle.substr(0, dash), INT64_MAX, seconds) ||
      !ParseWholeNumber(middle.substr(dash + 1), UINT32_MAX, processId)) {
    return false;
  }
  parsed = {static_cast<std::int64_t>(seconds), static_cast<std::uint32_t>(processId)};
  return true;
}

std::vector<std::wstring> LogsToRemove(const std::vector<std::wstring>& names, const std::wstring& own,
                                       std::int64_t now) {
  std::vector<std::pair<LogName, std::wstring>> logs;
  for (const std::wstring& name : names) {
    LogName parsed{};
    if (name != own && ParseLogName(name, parsed)) logs.emplace_back(parsed, name);
  }
  // Newest first: by their time, then by their process id.
  std::sort(logs.begin(), logs.end(), [](const auto& left, const auto& right) {
    return left.first.Seconds != right.first.Seconds ? left.first.Seconds > right.first.Seconds
                                                     : left.first.ProcessId > right.first.ProcessId;
  });
  const std::int64_t oldest = now - KeptLogDays * 24 * 60 * 60;
  std::vector<std::wstring> remove;
  for (std::size_t index = 0; index < logs.size(); ++index) {
    if (index >= KeptLogs || logs[index].first.Seconds < oldest) remove.push_back(logs[index].second);
  }
  return remove;
}

void TrimLogFolder(HANDLE folder, const wchar_t* folderPath, const std::wstring& own) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const std::wstring pattern = std::wstring(folderPath) + L"\\" + Prefix + L"*" + Suffix;
  const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    names.emplace_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  for (const std::wstring& name : LogsToRemove(names, own, SecondsSince1970())) RemoveLog(folder, folderPath, name);
}
