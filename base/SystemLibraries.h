#pragma once

#include <windows.h>

// shell32, shlwapi and version.dll are loaded from the system folder only,
// never by static import: a static import would be resolved before the search
// order is restricted, and version.dll is not a known DLL, so a copy planted
// beside the launcher would be loaded instead. The wrappers fail the way the
// call they stand for fails when its library could not be loaded.
namespace SystemLibraries {

// Call once, on the main thread, right after RestrictDllSearchOrder
// (base/DllSearchOrder.h).
void Load();

// shlwapi
BOOL PathFileExistsW(const wchar_t* path);
BOOL PathRemoveFileSpecW(wchar_t* path);
wchar_t* PathAddBackslashW(wchar_t* path);
wchar_t* PathRemoveBackslashW(wchar_t* path);

// shell32
wchar_t** CommandLineToArgvW(const wchar_t* commandLine, int* count);
HRESULT SHGetFolderPathW(HWND window, int folder, HANDLE token, DWORD flags, wchar_t* path);

// version; without the library these fail with ERROR_MOD_NOT_FOUND.
DWORD GetFileVersionInfoSizeW(const wchar_t* path, DWORD* handle);
BOOL GetFileVersionInfoW(const wchar_t* path, DWORD handle, DWORD size, void* data);
BOOL VerQueryValueW(const void* block, const wchar_t* subBlock, void** buffer, UINT* length);

}  // namespace SystemLibraries
