#pragma once

#include "base/UniqueHolder.h"

// This process's account as a SID text ("S-1-5-..."), a wide text in memory
// of the system's; empty when its token cannot be read.
mw::LocalMemory OwnAccountSid();

// The staging folder's security descriptor: protected (nothing inherited from
// the temporary folder), full control for SYSTEM, Administrators and
// `account` (a SID text), inherited by what is extracted into it. Empty when
// it cannot be made, `account` is null or empty among those cases.
mw::LocalMemory StagingFolderDescriptor(const wchar_t* account);
