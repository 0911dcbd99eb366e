#include "tests/support/RegistryWriteTrace.h"

#include <algorithm>

namespace testing_support {

void RegistryWriteTrace::Enable(programs::EnvironmentChanges& environment) {
  std::optional<std::wstring>& channels = environment[L"WINEDEBUG"];
  channels = (channels && !channels->empty() ? *channels + L"," : L"-all,") + L"+reg";
}

std::vector<std::wstring> RegistryWriteTrace::ValuesSet(const std::vector<std::wstring>& names) const {
  // "0124:trace:reg:NtSetValueKey (0x2c,L"ExitCode",4,0x21f8c0,4)"
  constexpr char Call[] = ":trace:reg:NtSetValueKey (";
  const std::string text = Output.Since();
  std::vector<std::wstring> set;
  for (std::size_t at = text.find(Call); at != std::string::npos; at = text.find(Call, at + 1)) {
    const std::size_t nameStart = text.find(",L\"", at);
    const std::size_t nameEnd = nameStart == std::string::npos ? nameStart : text.find('"', nameStart + 3);
    if (nameEnd == std::string::npos || nameEnd > text.find('\n', at)) continue;
    const std::string name = text.substr(nameStart + 3, nameEnd - nameStart - 3);
    const std::wstring wide(name.begin(), name.end());
    if (std::find(names.begin(), names.end(), wide) != names.end()) set.push_back(wide);
  }
  return set;
}

}  // namespace testing_support
