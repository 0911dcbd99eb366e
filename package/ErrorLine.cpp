#include "package/ErrorLine.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace {

// The longest line holds a staging folder's path and an entry's name.
constexpr int LineUnits = 1024;

}  // namespace

void WriteErrorLine(const wchar_t* format, ...) {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  wchar_t line[LineUnits + 2];
  std::va_list arguments;
  va_start(arguments, format);
  const int formatted = _vsnwprintf_s(line, LineUnits, _TRUNCATE, format, arguments);
  va_end(arguments);
  // A cut line fills the buffer up to its terminator.
  const int length = (formatted < 0 ? LineUnits - 1 : formatted) + 2;
  line[length - 2] = L'\r';
  line[length - 1] = L'\n';

  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(error, &mode)) {
    WriteConsoleW(error, line, static_cast<DWORD>(length), &written, nullptr);
    return;
  }
  // At most three UTF-8 bytes for each UTF-16 unit.
  char utf8[3 * (LineUnits + 2)];
  const int size = WideCharToMultiByte(CP_UTF8, 0, line, length, utf8, sizeof utf8, nullptr, nullptr);
  if (size <= 0) return;
  WriteFile(error, utf8, static_cast<DWORD>(size), &written, nullptr);
}
