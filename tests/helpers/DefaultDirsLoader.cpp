// Loads the DLL it is given by name, with the program's own folder in the
// DLL search path, as system DLLs do for a program that leaves the default
// search order: the control for the checks of DLLs planted beside the
// launcher and the package that are loaded at run time.

#include <windows.h>

#include "base/ProcAddress.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (auto setDefaultDllDirectories = mw::ProcAddress<SetDefaultDllDirectoriesFunction>(
          GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")) {
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  }
  return LoadLibraryA(argv[1]) != nullptr ? 0 : 1;
}
