#pragma once

#include <string>

#include "base/UniqueHolder.h"

// This process's account as a SID text ("S-1-5-..."); empty when its token
// cannot be read.
std::wstring OwnAccountSid();

// The staging folder's security descriptor: protected (nothing inherited from
// the temporary folder), full control for SYSTEM, Administrators and
// `account` (a SID text), inherited by what is extracted into it. Empty when
// it cannot be made.
mw::LocalMemory StagingFolderDescriptor(const std::wstring& account);
