#pragma once

#include <string>

namespace testing_support {

// Symbolic links as an ordinary local user would plant them. Under Wine a
// Windows program cannot make one (CreateSymbolicLinkW creates nothing), so
// these start the Unix ln and rm; Wine then reports a link to a folder as a
// reparse point. Both wait until the change shows, at most a few seconds.
bool PlantLink(const std::wstring& target, const std::wstring& link);
void RemoveLink(const std::wstring& link);

}  // namespace testing_support
