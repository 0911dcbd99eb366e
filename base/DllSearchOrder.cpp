#include "base/DllSearchOrder.h"

#include <cwchar>

#include "base/ProcAddress.h"
#include "base/SystemFolder.h"

// The image's load configuration, which the linker finds by this name and
// points the load configuration directory at. Only the search flags for the
// static imports' own dependencies are set: the loader of Windows 10 1607 and
// later resolves them from the system folder instead of starting with the
// program's folder. No security cookie (base/StackProtector.cpp has its
// own), no SafeSEH table (the 32-bit images carry NO_SEH).
namespace {

constexpr IMAGE_LOAD_CONFIG_DIRECTORY SystemFolderDependencies() {
  IMAGE_LOAD_CONFIG_DIRECTORY configuration{};
  configuration.Size = sizeof configuration;
  // The field these headers still call Reserved1 is DependentLoadFlags.
  configuration.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
  return configuration;
}

}  // namespace

extern "C" constinit const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = SystemFolderDependencies();

void RestrictDllSearchOrder() {
  // Missing before Windows 8 without its update; then nothing can be done.
  HMODULE kernel = GetModuleHandleW(L"Kernel32.dll");
  if (kernel == nullptr) return;
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (auto setDefaultDllDirectories =
          mw::ProcAddress<SetDefaultDllDirectoriesFunction>(kernel, "SetDefaultDllDirectories")) {
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
  // Systems without the search-flag update reject the flag.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  return LoadSystemLibraryByFullPath(name);
}

HMODULE LoadSystemLibraryByFullPath(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const UINT length = SystemFolder(path);
  if (length == 0 || swprintf_s(path + length, MAX_PATH - length, L"\\%ls", name) < 0) {
    SetLastError(ERROR_BAD_PATHNAME);
    return nullptr;
  }
  // A full path is loaded from there; the altered search makes the
  // library's own dependencies be looked for beside it, in the system
  // folder, rather than beside the program.
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
