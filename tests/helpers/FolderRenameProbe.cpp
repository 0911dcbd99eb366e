// Stands in for the launcher inside a test package: leaves the folder it was
// started from as its working folder, then tries to rename that folder, as
// any other program could while the package holds it. Exits with 0 when the
// rename is refused as the folder is in use, 1 when it was renamed (and is
// renamed back), 2 when it cannot tell.

#include <windows.h>

#include <cwchar>
#include <string>

#include "base/OwnImage.h"
#include "base/SystemFolder.h"

int main() {
  HeapBlock path;
  wchar_t system[MAX_PATH];
  if (OwnProgramPath(path) != 0 || SystemFolder(system) == 0 || !SetCurrentDirectoryW(system)) return 2;
  std::wstring folder = static_cast<const wchar_t*>(path.Get());
  folder.resize(folder.rfind(L'\\'));
  const std::wstring renamed = folder + L"-renamed";
  if (MoveFileExW(folder.c_str(), renamed.c_str(), 0)) {
    MoveFileExW(renamed.c_str(), folder.c_str(), 0);
    return 1;
  }
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? 0 : 2;
}
