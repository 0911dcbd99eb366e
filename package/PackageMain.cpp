#include <windows.h>

#include "base/DllSearchOrder.h"
#include "package/PackageRun.h"

// The arguments are read from the command line as given, not from argv,
// so that SFXCMD receives them unsplit and unchanged.
int wmain(int, wchar_t**, wchar_t**) {
  // Load bearing: before anything can load a DLL by name.
  RestrictDllSearchOrder();
  return static_cast<int>(RunPackage(GetCommandLineW()));
}
