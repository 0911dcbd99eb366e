#pragma once

#include <cstddef>

enum class HexCase { Lower, Upper };

// Writes `count` bytes as two hex digits each, into `text`, which has room
// for 2 * count digits and the terminator it gets.
void WriteHex(const unsigned char* bytes, std::size_t count, HexCase letters, wchar_t* text);
