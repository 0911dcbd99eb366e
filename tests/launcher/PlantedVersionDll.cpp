// A version.dll as an attacker would plant it beside the launcher: it records
// every process that loads it in a file next to itself. Its functions find
// no version, so a launcher that used it would also log the wrong version.

#include <windows.h>

#include <string>

extern "C" {

__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(const wchar_t*, DWORD*) {
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return 0;
}

__declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(const wchar_t*, DWORD, DWORD, void*) {
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return FALSE;
}

__declspec(dllexport) BOOL WINAPI VerQueryValueW(const void*, const wchar_t*, void**, UINT*) { return FALSE; }

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  std::wstring marker(path, length);
  marker = marker.substr(0, marker.find_last_of(L'\\') + 1) + L"planted-version-loaded.txt";
  HANDLE file = CreateFileW(marker.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    wchar_t host[MAX_PATH];
    const DWORD hostLength = GetModuleFileNameW(nullptr, host, MAX_PATH);
    DWORD written = 0;
    WriteFile(file, host, hostLength * sizeof(wchar_t), &written, nullptr);
    CloseHandle(file);
  }
  return TRUE;
}

}  // extern "C"
