#include "package/DllSearchOrder.h"

#include <windows.h>

#include "base/ProcAddress.h"

void RestrictDllSearchOrder() {
  // Missing before Windows 8 without its update; then nothing can be done.
  HMODULE kernel = GetModuleHandleW(L"Kernel32.dll");
  if (kernel == nullptr) return;
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (auto setDefaultDllDirectories =
          mw::ProcAddress<SetDefaultDllDirectoriesFunction>(kernel, "SetDefaultDllDirectories")) {
    // The system folder only: the package is linked statically and needs no
    // DLL of its own folder, which is often a download folder.
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}
