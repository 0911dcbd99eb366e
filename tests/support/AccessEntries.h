#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/UniqueHolder.h"

namespace testing_support {

// A real descriptor from SDDL, with "{self}" standing for `self`, the
// process's own account as a SID text; empty, with a test failure, when the
// text is not one.
mw::LocalMemory DescriptorFromText(std::wstring text, const std::wstring& self);

// "S-1-5-..."; empty when it cannot be written.
std::wstring SidText(PSID sid);

// Each entry of a descriptor's access list as "type flags mask SID", such as
// "0 0x3 0x1F01FF S-1-5-18"; empty when the list cannot be read. For
// checking as data the descriptors Wine cannot show on a folder read back.
std::vector<std::wstring> AccessEntries(PSECURITY_DESCRIPTOR descriptor);

}  // namespace testing_support
