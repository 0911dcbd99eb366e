#include "base/HexText.h"

void WriteHex(const unsigned char* bytes, std::size_t count, HexCase letters, wchar_t* text) {
  const wchar_t* digits = letters == HexCase::Upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
  for (std::size_t index = 0; index < count; ++index) {
    *text++ = digits[bytes[index] >> 4];
    *text++ = digits[bytes[index] & 0x0F];
  }
  *text = L'\0';
}
