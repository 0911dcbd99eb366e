#include "process/ConsoleEcho.h"

#include <io.h>

namespace {

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// What the C runtime writes for wide text in UTF-8 text mode: UTF-8, every
// LF as CR LF, a lone surrogate as U+FFFD. Written through a pointer into
// room for the longest result, three bytes a unit: the echo's hot loop.
void EncodeLines(const std::wstring& text, std::string& bytes) {
  bytes.resize(text.size() * 3);
  char* out = bytes.data();
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t unit = text[i];
    if (unit < 0x80) {
      if (unit == L'\n') *out++ = '\r';
      *out++ = static_cast<char>(unit);
    } else if (unit < 0x800) {
      *out++ = static_cast<char>(0xC0 | unit >> 6);
      *out++ = static_cast<char>(0x80 | (unit & 0x3F));
    } else if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      const char32_t codePoint = 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00);
      *out++ = static_cast<char>(0xF0 | codePoint >> 18);
      *out++ = static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
      *out++ = static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
      *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
      if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) unit = 0xFFFD;
      *out++ = static_cast<char>(0xE0 | unit >> 12);
      *out++ = static_cast<char>(0x80 | (unit >> 6 & 0x3F));
      *out++ = static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  bytes.resize(static_cast<std::size_t>(out - bytes.data()));
}

}  // namespace

ConsoleEcho::ConsoleEcho(std::wostream& stream, std::FILE* file)
    : Stream(stream), Handle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) {
  DWORD mode = 0;
  IsConsole = GetConsoleMode(Handle, &mode) != FALSE;
}

void ConsoleEcho::Write(const std::wstring& text) {
  if (text.empty()) return;
  // Whatever the stream still buffers goes out first.
  Stream.flush();
  DWORD written = 0;
  if (IsConsole) {
    Lines.clear();
    for (const wchar_t character : text) {
      if (character == L'\n') Lines.push_back(L'\r');
      Lines.push_back(character);
    }
    WriteConsoleW(Handle, Lines.data(), static_cast<DWORD>(Lines.size()), &written, nullptr);
    return;
  }
  EncodeLines(text, Bytes);
  WriteFile(Handle, Bytes.data(), static_cast<DWORD>(Bytes.size()), &written, nullptr);
}
