#pragma once

#include <cstddef>
#include <string>

// Turns the tool's output bytes into UTF-16, one read at a time. A character
// split across two reads comes out whole; a byte that belongs to no valid
// UTF-8 sequence is decoded on its own through the ANSI code page (U+FFFD
// when that code page has no character for it).
class Utf8Decoder {
 public:
  Utf8Decoder();

  // Replaces `text` with the characters completed by these bytes.
  void Decode(const char* bytes, std::size_t count, std::wstring& text);
  // Replaces `text` with whatever an unfinished sequence at the end of the
  // output held, each byte on its own.
  void Finish(std::wstring& text);

 private:
  void DecodeByte(unsigned char byte, wchar_t*& out);
  void FlushPendingAsSingleBytes(wchar_t*& out);

  wchar_t AnsiCharacters[128];  // bytes 0x80 to 0xFF
  unsigned char Pending[4] = {};
  std::size_t PendingCount = 0;
  std::size_t SequenceLength = 0;
};
