#pragma once

#include <map>
#include <string>
#include <vector>

// The launch options: each name with the values given for it, in the order
// the tokens came. Names compare by UTF-16 code units, with no case folding
// or trimming, so "detach" and "Detach" are two options.
class OptionSet : public std::map<std::wstring, std::vector<std::wstring>> {
 public:
  // True when an option of exactly this name was given, whatever its values.
  bool Has(const wchar_t* name) const;
};

// Adds every token, the first one included, as one value of its name (the
// empty value when the token has no "="). A count of zero or less adds nothing.
void ParseOptions(OptionSet& options, int count, const wchar_t* const* tokens);
