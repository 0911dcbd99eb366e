#pragma once

#include <windows.h>

#include "base/PathString.h"
#include "base/UniqueHolder.h"
#include "base/ProcessAccount.h"

// Opens the log folder, creating it (and missing parents) when it is
// missing. A folder the launcher creates is protected from the start: SYSTEM
// and Administrators have full control, Users may read, nothing comes from
// the parent, and a launcher without administrative rights keeps full
// control for its own account so that it can write its log. An existing
// folder is used only when it is a real folder at exactly this path, owned by
// a trusted account (IsUsableLogFolder). Empty otherwise: then there is no
// log, as when it cannot be opened.
mw::UniqueFileHandle OpenLogFolder(mw::PathString& folder, const ProcessAccount& user);

// The descriptor a new log folder is created with: SYSTEM and Administrators
// full control, Users read and execute, and full control for the launcher's
// own account when it is not an administrator; protected, so nothing comes
// from the parent. Empty when it cannot be built.
mw::LocalMemory LogFolderSecurity(PSID launcherUser, bool administrator);

// Whether an existing folder with these attributes and this security may
// hold the log: a folder, not a reparse point, with a trusted owner.
bool IsUsableLogFolder(DWORD attributes, PSECURITY_DESCRIPTOR security, PSID launcherUser);
