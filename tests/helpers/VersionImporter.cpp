// Imports version.dll the ordinary way, as the control for the planted-DLL
// check: beside a planted version.dll, this program does load it.

#include <windows.h>

int main() {
  DWORD ignored = 0;
  return GetFileVersionInfoSizeW(L"C:\\windows\\system32\\kernel32.dll", &ignored) != 0 ? 0 : 1;
}
