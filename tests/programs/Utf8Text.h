#pragma once

#include <string>
#include <string_view>

namespace programs {

// Lossless both ways for valid text; what tests compare with a program's
// UTF-8 output and log lines.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view utf8);

}  // namespace programs
