#include "base/WholeNumber.h"

bool ParseWholeNumber(const std::wstring& text, std::uint64_t maximum, std::uint64_t& number) {
  if (text.empty()) return false;
  std::uint64_t value = 0;
  for (const wchar_t digit : text) {
    if (digit < L'0' || digit > L'9') return false;
    const auto next = static_cast<std::uint64_t>(digit - L'0');
    if (next > maximum || value > (maximum - next) / 10) return false;
    value = value * 10 + next;
  }
  number = value;
  return true;
}
