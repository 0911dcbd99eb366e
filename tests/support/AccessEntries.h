#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// Each entry of a descriptor's access list as "type flags mask SID", such as
// "0 0x3 0x1F01FF S-1-5-18"; empty when the list cannot be read. For
// checking as data the descriptors Wine cannot show on a folder read back.
std::vector<std::wstring> AccessEntries(PSECURITY_DESCRIPTOR descriptor);

}  // namespace testing_support
