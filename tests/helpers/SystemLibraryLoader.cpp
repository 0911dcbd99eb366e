// Loads a system DLL the ways the launcher and the package do, but without
// restricting the DLL search first, so that only the loader itself keeps a
// DLL of that name planted beside this program out:
//   (no argument)   version.dll through LoadSystemLibrary
//   --by-full-path  version.dll as systems that reject the search flags
//                   load it (before Windows 8 without its update)
//   --cng           bcrypt.dll, as CNG is loaded for SHA-256 and random bytes
// Exits with 0 when the DLL was loaded and usable.

#include <cstring>

#include "base/CngLibrary.h"
#include "base/DllSearchOrder.h"

int main(int argc, char** argv) {
  const char* way = argc == 2 ? argv[1] : "";
  if (std::strcmp(way, "--cng") == 0) return CngLibrary().Ready() ? 0 : 1;
  const bool byFullPath = std::strcmp(way, "--by-full-path") == 0;
  const HMODULE module = byFullPath ? LoadSystemLibraryByFullPath(L"version.dll") : LoadSystemLibrary(L"version.dll");
  return module != nullptr ? 0 : 1;
}
