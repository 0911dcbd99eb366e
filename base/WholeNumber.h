#pragma once

#include <cstdint>
#include <string>

// Digits only, at least one (no sign, blank or other base), at most
// `maximum`: what is read from a name or an option is exactly a number, or
// it is not taken for one.
bool ParseWholeNumber(const std::wstring& text, std::uint64_t maximum, std::uint64_t& number);
