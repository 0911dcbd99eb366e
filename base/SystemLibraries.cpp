#include "base/SystemLibraries.h"

#include "base/DllSearchOrder.h"
#include "base/ProcAddress.h"

namespace SystemLibraries {

namespace {

struct Functions {
  BOOL(WINAPI* PathFileExists)(const wchar_t*) = nullptr;
  BOOL(WINAPI* PathRemoveFileSpec)(wchar_t*) = nullptr;
  wchar_t*(WINAPI* PathAddBackslash)(wchar_t*) = nullptr;
  wchar_t*(WINAPI* PathRemoveBackslash)(wchar_t*) = nullptr;
  wchar_t**(WINAPI* CommandLineToArgv)(const wchar_t*, int*) = nullptr;
  HRESULT(WINAPI* SHGetFolderPath)(HWND, int, HANDLE, DWORD, wchar_t*) = nullptr;
  DWORD(WINAPI* GetFileVersionInfoSize)(const wchar_t*, DWORD*) = nullptr;
  BOOL(WINAPI* GetFileVersionInfo)(const wchar_t*, DWORD, DWORD, void*) = nullptr;
  BOOL(WINAPI* VerQueryValue)(const void*, const wchar_t*, void**, UINT*) = nullptr;
};

// Written once on the main thread before any other thread exists.
Functions Loaded;

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function) {
  if (module != nullptr) function = mw::ProcAddress<Function>(module, name);
}

}  // namespace

void Load() {
  // Kept loaded for the life of the process.
  HMODULE shlwapi = LoadSystemLibrary(L"shlwapi.dll");
  Resolve(shlwapi, "PathFileExistsW", Loaded.PathFileExists);
  Resolve(shlwapi, "PathRemoveFileSpecW", Loaded.PathRemoveFileSpec);
  Resolve(shlwapi, "PathAddBackslashW", Loaded.PathAddBackslash);
  Resolve(shlwapi, "PathRemoveBackslashW", Loaded.PathRemoveBackslash);

  HMODULE shell32 = LoadSystemLibrary(L"shell32.dll");
  Resolve(shell32, "CommandLineToArgvW", Loaded.CommandLineToArgv);
  Resolve(shell32, "SHGetFolderPathW", Loaded.SHGetFolderPath);

  HMODULE version = LoadSystemLibrary(L"version.dll");
  Resolve(version, "GetFileVersionInfoSizeW", Loaded.GetFileVersionInfoSize);
  Resolve(version, "GetFileVersionInfoW", Loaded.GetFileVersionInfo);
  Resolve(version, "VerQueryValueW", Loaded.VerQueryValue);
}

BOOL PathFileExistsW(const wchar_t* path) {
  return Loaded.PathFileExists != nullptr && Loaded.PathFileExists(path);
}

BOOL PathRemoveFileSpecW(wchar_t* path) {
  return Loaded.PathRemoveFileSpec != nullptr && Loaded.PathRemoveFileSpec(path);
}

wchar_t* PathAddBackslashW(wchar_t* path) {
  return Loaded.PathAddBackslash != nullptr ? Loaded.PathAddBackslash(path) : nullptr;
}

wchar_t* PathRemoveBackslashW(wchar_t* path) {
  return Loaded.PathRemoveBackslash != nullptr ? Loaded.PathRemoveBackslash(path) : nullptr;
}

wchar_t** CommandLineToArgvW(const wchar_t* commandLine, int* count) {
  if (Loaded.CommandLineToArgv == nullptr) {
    *count = 0;
    return nullptr;
  }
  return Loaded.CommandLineToArgv(commandLine, count);
}

HRESULT SHGetFolderPathW(HWND window, int folder, HANDLE token, DWORD flags, wchar_t* path) {
  if (Loaded.SHGetFolderPath == nullptr) return E_NOTIMPL;
  return Loaded.SHGetFolderPath(window, folder, token, flags, path);
}

DWORD GetFileVersionInfoSizeW(const wchar_t* path, DWORD* handle) {
  if (Loaded.GetFileVersionInfoSize == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  return Loaded.GetFileVersionInfoSize(path, handle);
}

BOOL GetFileVersionInfoW(const wchar_t* path, DWORD handle, DWORD size, void* data) {
  if (Loaded.GetFileVersionInfo == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  return Loaded.GetFileVersionInfo(path, handle, size, data);
}

BOOL VerQueryValueW(const void* block, const wchar_t* subBlock, void** buffer, UINT* length) {
  if (Loaded.VerQueryValue == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  return Loaded.VerQueryValue(block, subBlock, buffer, length);
}

}  // namespace SystemLibraries
