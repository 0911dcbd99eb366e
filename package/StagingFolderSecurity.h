#pragma once

#include "base/UniqueHolder.h"

// The staging folder's security descriptor: protected (nothing inherited
// from the temporary folder), full control for SYSTEM and Administrators,
// inherited by what is extracted into it. A package run as SYSTEM or by an
// elevated administrator needs no entry of its own, which would also let
// that administrator's non-elevated processes (the same account) in; it
// gets a High mandatory label instead, so that nothing of lower integrity
// writes there. A package without administrative rights grants its own
// account, `account` (a SID text), full control and sets no label, which
// would lock it out of its own folder. Empty when it cannot be made,
// `account` missing there among those cases.
mw::LocalMemory StagingFolderDescriptor(const wchar_t* account, bool administrator);
