#include "process/ConsoleEcho.h"

#include <io.h>

ConsoleEcho::ConsoleEcho(std::wostream& stream, std::FILE* file)
    : Stream(stream), Handle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) {
  DWORD mode = 0;
  IsConsole = GetConsoleMode(Handle, &mode) != FALSE;
}

void ConsoleEcho::Write(const std::wstring& text) {
  if (text.empty()) return;
  Lines.clear();
  for (const wchar_t character : text) {
    if (character == L'\n') Lines.push_back(L'\r');
    Lines.push_back(character);
  }
  // Whatever the stream still buffers goes out first.
  Stream.flush();

  const int length = static_cast<int>(Lines.size());
  DWORD written = 0;
  if (IsConsole) {
    WriteConsoleW(Handle, Lines.data(), static_cast<DWORD>(length), &written, nullptr);
    return;
  }
  // Lone surrogates become U+FFFD, as in the C runtime's own conversion.
  Bytes.resize(static_cast<std::size_t>(length) * 3);
  const int byteCount = WideCharToMultiByte(CP_UTF8, 0, Lines.data(), length, Bytes.data(),
                                            static_cast<int>(Bytes.size()), nullptr, nullptr);
  WriteFile(Handle, Bytes.data(), static_cast<DWORD>(byteCount), &written, nullptr);
}
