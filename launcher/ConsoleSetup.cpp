#include "launcher/ConsoleSetup.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "base/ProcAddress.h"

void SetConsoleModes() {
  _setmode(_fileno(stdout), _O_U8TEXT);
  _setmode(_fileno(stdin), _O_WTEXT);
  _setmode(_fileno(stderr), _O_U8TEXT);
}

void RestrictDllSearchOrder() {
  // Missing before Windows 8 without its update; then nothing can be done.
  HMODULE kernel = GetModuleHandleA("Kernel32.dll");
  if (kernel == nullptr) return;
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (auto setDefaultDllDirectories =
          mw::ProcAddress<SetDefaultDllDirectoriesFunction>(kernel, "SetDefaultDllDirectories")) {
    // The system folder only: the launcher is linked statically and needs no
    // DLL of its own folder, which may be a shared or download folder.
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}
