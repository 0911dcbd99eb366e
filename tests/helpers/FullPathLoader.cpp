// Loads version.dll as the programs do where the system rejects the DLL
// search flags (before Windows 8 without its update), without restricting
// the search first: beside a planted version.dll it must still load the
// system's.

#include "base/DllSearchOrder.h"

int main() { return LoadSystemLibraryByFullPath(L"version.dll") != nullptr ? 0 : 1; }
