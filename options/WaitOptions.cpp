#include "options/WaitOptions.h"

#include <optional>

#include "base/ToolFileName.h"
#include "base/WholeNumber.h"
#include "log/Log.h"

namespace {

// The option's last value when it was given and is a whole number from
// `minimum` to `maximum`; nothing otherwise, after a warning when it was given.
std::optional<DWORD> NumberOption(const OptionSet& options, const wchar_t* name, DWORD minimum, DWORD maximum) {
  const auto found = options.find(name);
  if (found == options.end()) return std::nullopt;
  const std::wstring& given = found->second.back();
  std::uint64_t number = 0;
  if (ParseWholeNumber(given, maximum, number) && number >= minimum) return static_cast<DWORD>(number);
  WriteLog(L"[WARNING] The option %s=%s is not a whole number from %d to %d - the default is used.", name,
           given.c_str(), static_cast<int>(minimum), static_cast<int>(maximum));
  return std::nullopt;
}

}  // namespace

WaitLimits ReadWaitLimits(const OptionSet& options, DWORD defaultToolMs) {
  constexpr DWORD MostWaitSeconds = 24 * 60 * 60;
  constexpr DWORD MostTimeoutMinutes = 24 * 60;
  const std::optional<DWORD> seconds = NumberOption(options, L"wait", 0, MostWaitSeconds);
  const std::optional<DWORD> minutes = NumberOption(options, L"timeout", 1, MostTimeoutMinutes);
  const WaitLimits limits{seconds.value_or(DefaultOtherRunWaitSeconds) * 1000,
                          minutes ? *minutes * 60 * 1000 : defaultToolMs};
  WriteLog(L"[INFO] %s is waited for at most %d seconds, another patch run at most %d seconds.", ToolFileName,
           static_cast<int>(limits.ToolMs / 1000), static_cast<int>(limits.OtherRunMs / 1000));
  return limits;
}
