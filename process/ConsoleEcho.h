#pragma once

#include <windows.h>

#include <cstdio>
#include <ostream>
#include <string>

// Writes the tool's decoded text to one of the launcher's standard streams,
// each chunk in a single call, as the launcher's wide stream would have
// written it in UTF-8 text mode: to a console as wide characters, elsewhere
// as the same UTF-8 bytes, every LF as CR LF. Going through the wide stream
// costs a C runtime call per character, and the stream fails for good on
// U+FFFF and splits a surrogate pair that straddles the end of its buffer.
class ConsoleEcho {
 public:
  // `stream` is the wide stream over `file` through which the launcher's own
  // console lines go; the text lands in order with them.
  ConsoleEcho(std::wostream& stream, std::FILE* file);

  void Write(const std::wstring& text);

 private:
  std::wostream& Stream;
  HANDLE Handle;
  bool IsConsole;
  std::wstring Lines;  // for a console: the text with CR LF line ends
  std::string Bytes;   // elsewhere: the same in UTF-8
};
