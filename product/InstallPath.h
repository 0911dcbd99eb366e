#pragma once

#include <windows.h>

#include <string>

#include "base/GuardedString.h"

// The folder Valcrest is installed in: the uninstall entry's "InstallLocation"
// first, else the folder of the "ValcrestService" executable. Empty when
// neither source gives one. Only absolute paths count, from either source.
// isWow64 selects the 64-bit registry view for a 32-bit process on 64-bit
// Windows.
void FindInstallPath(mw::String& result, bool isWow64);

// The folder of a service's executable, ending in a backslash (or empty when
// the path names no folder). Returns 0 or a Windows error code; the folder is
// written only on success.
DWORD QueryServiceFolder(SC_HANDLE manager, const std::wstring& serviceName, std::wstring& folder);
