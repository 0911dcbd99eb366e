// Loads imm32.dll by name with the program's own folder in the DLL search
// path, as system DLLs do for a program that leaves the default search
// order: the control for the planted-imm32 check.

#include <windows.h>

#include "base/ProcAddress.h"

int main() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (auto setDefaultDllDirectories = mw::ProcAddress<SetDefaultDllDirectoriesFunction>(
          GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")) {
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  }
  return LoadLibraryW(L"imm32.dll") != nullptr ? 0 : 1;
}
