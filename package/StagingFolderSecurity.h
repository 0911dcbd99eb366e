#pragma once

#include "base/UniqueHolder.h"

// The staging folder's security descriptor: protected (nothing inherited from
// the temporary folder), full control for SYSTEM, Administrators and
// `account` (a SID text), inherited by what is extracted into it. Empty when
// it cannot be made, `account` is null or empty among those cases.
mw::LocalMemory StagingFolderDescriptor(const wchar_t* account);
