#include "options/SplitOption.h"

#include <string_view>

// A scan rather than std::wregex: libstdc++'s matcher recurses once per
// character and overflows the launcher's stack on tokens of a few thousand
// characters, while SFXCMD may hold 32,767.
void SplitOption(const wchar_t* token, std::wstring& name, std::wstring& value) {
  std::wstring_view rest(token);
  if (rest.starts_with(L'/')) {
    rest.remove_prefix(1);
  } else if (rest.starts_with(L"--")) {
    rest.remove_prefix(2);
  } else if (rest.starts_with(L'-')) {
    rest.remove_prefix(1);
  }

  const std::size_t equals = rest.find(L'=');
  name.assign(rest.substr(0, equals));
  if (equals == std::wstring_view::npos) return;

  const std::wstring_view afterEquals = rest.substr(equals + 1);
  value.assign(afterEquals.substr(0, afterEquals.find_first_of(L"\r\n\u2028\u2029")));
}
