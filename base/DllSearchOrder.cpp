#include "base/DllSearchOrder.h"

#include <windows.h>

#include "base/ProcAddress.h"

void RestrictDllSearchOrder() {
  // Missing before Windows 8 without its update; then nothing can be done.
  HMODULE kernel = GetModuleHandleW(L"Kernel32.dll");
  if (kernel == nullptr) return;
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (auto setDefaultDllDirectories =
          mw::ProcAddress<SetDefaultDllDirectoriesFunction>(kernel, "SetDefaultDllDirectories")) {
    // The system folder only: the programs are linked statically and need no
    // DLL of their own folder, which may be a shared or download folder.
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}
