#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/PathString.h"

// The run's log file: "<common application data>\Rivlet\Mendora.Launcher-<seconds>-<pid>.txt",
// UTF-8, one timestamped line per WriteLog call.
extern mw::PathString LogPath;
extern std::FILE* LogFile;  // null before OpenLog, after CloseLog, and when the open failed

void OpenLog();
void CloseLog();

// The open log's file handle, still owned by LogFile; null without a log.
HANDLE LogFileHandle();
// Makes an open log file, handed over by its handle, this process's log.
// False, with the handle closed, when it cannot be written as a log.
bool AttachLog(HANDLE file);

// Writes one line: the timestamp prefix, then the message formatted with the
// C runtime's wide printf conventions ("%s" a wide string, "%d" a 32-bit
// integer), then end of line; line breaks inside the message are written as
// \r and \n. Safe from any thread; does nothing without a log.
void WriteLog(const wchar_t* format, ...);

// The bytes WriteLog writes for `message` (taken as it is, not as a format):
// timestamp, UTF-8 text with line breaks written out, end of line.
std::uint64_t LogLineBytes(const std::wstring& message);
// The bytes of `text` in UTF-8, a lone surrogate as U+FFFD.
std::uint64_t Utf8Length(const std::wstring& text);

// "true" or "false", as log lines show a flag.
const wchar_t* BoolText(bool value);

// "YYYY-MM-DD HH:MM:SS.mmm " and its terminator.
struct LogTimestampText {
  wchar_t Text[26];
};

// The prefix for the current local time, private to the caller.
LogTimestampText LogTimestamp();
LogTimestampText FormatLogTimestamp(const SYSTEMTIME& localTime);
