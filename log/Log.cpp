#include "log/Log.h"

#include <io.h>
#include <shlobj.h>

#include <cstdarg>
#include <cwchar>
#include <mutex>
#include <string>

#include "base/ProcessAccount.h"
#include "base/SystemLibraries.h"
#include "log/LogFileOpen.h"
#include "log/LogFolder.h"
#include "log/LogRetention.h"

mw::PathString LogPath;
std::FILE* LogFile = nullptr;

namespace {

// The main thread and both output pumps write; each line goes out whole.
std::mutex LogLock;

std::wstring SecondsSince1970Text() {
  constexpr std::int64_t TicksFrom1601To1970 = 116444736000000000;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::int64_t ticks = (std::int64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime) - TicksFrom1601To1970;
  return std::to_wstring(ticks / 10000000);
}

// A line break inside a message (an option text can hold one) would start a
// line without a timestamp, or forge one: it is written as \r or \n instead.
void AppendOnOneLine(mw::String& line, const mw::String& message) {
  const wchar_t* text = message.GetText();
  const std::uint32_t length = message.GetLength();
  std::uint32_t runStart = 0;
  for (std::uint32_t i = 0; i < length; ++i) {
    if (text[i] != L'\r' && text[i] != L'\n') continue;
    line.Append(text + runStart, i - runStart);
    line.Append(text[i] == L'\r' ? L"\\r" : L"\\n", 2);
    runStart = i + 1;
  }
  line.Append(text + runStart, length - runStart);
}

}  // namespace

void OpenLog() {
  wchar_t commonAppData[MAX_PATH] = {};
  if (SystemLibraries::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                                        commonAppData) == S_OK) {
    LogPath = commonAppData;
    LogPath.JoinPath(L"Rivlet");
  } else {
    LogPath = L"C:\\ProgramData\\Rivlet";
  }

  mw::String fileName;
  fileName.Format(L"Mendora.Launcher-%s-%d.txt", SecondsSince1970Text().c_str(),
                  static_cast<int>(GetCurrentProcessId()));
  // The launcher may run elevated where ordinary users can create or replace
  // folders: a folder or file that is not safe to write leaves the run
  // without a log.
  const ProcessAccount user;
  const mw::UniqueFileHandle folder = OpenLogFolder(LogPath, user);
  const mw::PathString folderPath(LogPath);
  LogPath.JoinPath(fileName.GetText());
  std::FILE* file = folder ? OpenLogFileIn(folder.Get(), fileName.GetText(), LogPath.GetText(), user) : nullptr;
  // Only a run that has its own log there trims the folder.
  if (file != nullptr) TrimLogFolder(folder.Get(), folderPath.GetText(), fileName.GetText());
  const std::lock_guard lock(LogLock);
  LogFile = file;
}

HANDLE LogFileHandle() {
  const std::lock_guard lock(LogLock);
  if (LogFile == nullptr) return nullptr;
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(LogFile)));
}

bool AttachLog(HANDLE file) {
  mw::UniqueHandle held(file);
  std::FILE* stream = LogStreamOver(held);
  const std::lock_guard lock(LogLock);
  LogFile = stream;
  return stream != nullptr;
}

void CloseLog() {
  const std::lock_guard lock(LogLock);
  if (LogFile == nullptr) return;
  std::fclose(LogFile);
  LogFile = nullptr;
}

void WriteLog(const wchar_t* format, ...) {
  // Date, time and milliseconds come from one reading of the clock, and the
  // line is built privately before it is written as one unit.
  const LogTimestampText timestamp = LogTimestamp();
  mw::String message;
  std::va_list arguments;
  va_start(arguments, format);
  message.FormatV(format, arguments);
  va_end(arguments);

  mw::String line(timestamp.Text);
  AppendOnOneLine(line, message);
  line.Append(L"\n", 1);

  const std::lock_guard lock(LogLock);
  if (LogFile == nullptr) return;
  std::fputws(line.GetText(), LogFile);
  std::fflush(LogFile);
}

std::uint64_t LogLineBytes(const std::wstring& message) {
  std::uint64_t bytes = Utf8Length(message);
  for (const wchar_t character : message) {
    if (character == L'\r' || character == L'\n') ++bytes;  // written as two characters
  }
  constexpr std::uint64_t TimestampBytes = std::size("YYYY-MM-DD HH:MM:SS.mmm ") - 1;
  constexpr std::uint64_t LineEndBytes = 2;  // CR LF
  return TimestampBytes + bytes + LineEndBytes;
}

std::uint64_t Utf8Length(const std::wstring& text) {
  if (text.empty()) return 0;
  return static_cast<std::uint64_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                        nullptr, 0, nullptr, nullptr));
}

const wchar_t* BoolText(bool value) { return value ? L"true" : L"false"; }

LogTimestampText LogTimestamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return FormatLogTimestamp(now);
}

LogTimestampText FormatLogTimestamp(const SYSTEMTIME& localTime) {
  LogTimestampText timestamp{};
  swprintf_s(timestamp.Text, std::size(timestamp.Text), L"%04u-%02u-%02u %02u:%02u:%02u.%03u ",
             unsigned{localTime.wYear}, unsigned{localTime.wMonth}, unsigned{localTime.wDay},
             unsigned{localTime.wHour}, unsigned{localTime.wMinute}, unsigned{localTime.wSecond},
             unsigned{localTime.wMilliseconds});
  return timestamp;
}
