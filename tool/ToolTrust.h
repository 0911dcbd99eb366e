#pragma once

#include <windows.h>

#include "base/ProcessAccount.h"

// Whether a launcher with administrative rights (SYSTEM, or an
// administrator's elevated token) may run the patching tool: nobody but the
// trusted accounts of base/ObjectTrust.h may own or change the tool's file
// or the folder that holds it, nor take the path away in any folder above,
// up to the volume's root. `toolFile` is the tool held open by the caller
// (null: it could not be opened, `openError` says why), so that the file
// checked stays the file that runs. 0, or ERROR_ACCESS_DENIED after a log
// line naming the object and who may change it, or the error of what could
// not be opened or read. A launcher without administrative rights checks
// nothing and logs one line: its user can harm only themselves.
DWORD CheckToolTrust(HANDLE toolFile, DWORD openError, const ProcessAccount& account);
