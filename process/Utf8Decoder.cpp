#include "process/Utf8Decoder.h"

#include <windows.h>

namespace {

constexpr wchar_t ReplacementCharacter = 0xFFFD;

std::size_t LengthFromLeadByte(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;  // a continuation byte, an overlong lead (C0, C1) or beyond U+10FFFF
}

// The second byte also rules out overlong forms, surrogates and code points
// beyond U+10FFFF; later bytes are plain continuation bytes.
bool FitsAt(const unsigned char* pending, std::size_t position, unsigned char byte) {
  if (position == 1) {
    switch (pending[0]) {
      case 0xE0: return byte >= 0xA0 && byte <= 0xBF;
      case 0xED: return byte >= 0x80 && byte <= 0x9F;
      case 0xF0: return byte >= 0x90 && byte <= 0xBF;
      case 0xF4: return byte >= 0x80 && byte <= 0x8F;
      default: break;
    }
  }
  return byte >= 0x80 && byte <= 0xBF;
}

void AppendCodePoint(char32_t codePoint, wchar_t*& out) {
  if (codePoint < 0x10000) {
    *out++ = static_cast<wchar_t>(codePoint);
    return;
  }
  codePoint -= 0x10000;
  *out++ = static_cast<wchar_t>(0xD800 + (codePoint >> 10));
  *out++ = static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
}

}  // namespace

Utf8Decoder::Utf8Decoder() {
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    const char single = static_cast<char>(byte);
    wchar_t character = ReplacementCharacter;
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &single, 1, &character, 1) != 1) {
      character = ReplacementCharacter;
    }
    AnsiCharacters[byte - 0x80] = character;
  }
}

void Utf8Decoder::Decode(const char* bytes, std::size_t count, std::wstring& text) {
  // No byte, of this read or pending from the last, gives more than one
  // character, so the text is sized once and written through a pointer.
  text.resize(PendingCount + count);
  wchar_t* out = text.data();
  for (std::size_t i = 0; i < count; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    // ASCII outside a sequence is by far the common case.
    if (byte < 0x80 && PendingCount == 0) {
      *out++ = static_cast<wchar_t>(byte);
    } else {
      DecodeByte(byte, out);
    }
  }
  text.resize(static_cast<std::size_t>(out - text.data()));
}

void Utf8Decoder::Finish(std::wstring& text) {
  text.resize(PendingCount);
  wchar_t* out = text.data();
  FlushPendingAsSingleBytes(out);
}

void Utf8Decoder::DecodeByte(unsigned char byte, wchar_t*& out) {
  if (PendingCount != 0) {
    if (FitsAt(Pending, PendingCount, byte)) {
      Pending[PendingCount++] = byte;
      if (PendingCount < SequenceLength) return;
      char32_t codePoint = Pending[0] & (0x7F >> SequenceLength);
      for (std::size_t i = 1; i < SequenceLength; ++i) codePoint = codePoint << 6 | (Pending[i] & 0x3F);
      AppendCodePoint(codePoint, out);
      PendingCount = 0;
      return;
    }
    // The sequence broke off: its bytes stand alone, and this byte starts afresh.
    FlushPendingAsSingleBytes(out);
  }
  if (byte < 0x80) {
    *out++ = static_cast<wchar_t>(byte);
    return;
  }
  SequenceLength = LengthFromLeadByte(byte);
  if (SequenceLength == 0) {
    *out++ = AnsiCharacters[byte - 0x80];
    return;
  }
  Pending[0] = byte;
  PendingCount = 1;
}

void Utf8Decoder::FlushPendingAsSingleBytes(wchar_t*& out) {
  for (std::size_t i = 0; i < PendingCount; ++i) *out++ = AnsiCharacters[Pending[i] - 0x80];
  PendingCount = 0;
}
