#include "options/OptionSet.h"

#include <utility>

#include "options/SplitOption.h"

bool OptionSet::Has(const wchar_t* name) const { return contains(name); }

void ParseOptions(OptionSet& options, int count, const wchar_t* const* tokens) {
  for (int i = 0; i < count; ++i) {
    std::wstring name;
    std::wstring value;
    SplitOption(tokens[i], name, value);
    options[name].push_back(std::move(value));
  }
}
