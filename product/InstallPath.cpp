#include "product/InstallPath.h"

#include <vector>

#include "product/RegistryKey.h"
#include "product/ServiceHandle.h"

namespace {

constexpr wchar_t UninstallKeyPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Valcrest";
constexpr wchar_t InstallLocationValue[] = L"InstallLocation";
constexpr wchar_t ServiceName[] = L"ValcrestService";

// A drive letter, colon and separator, or two separators and a server name.
// Anything else (%ProgramFiles%\Valcrest, Valcrest, \Valcrest, C:Valcrest)
// would be resolved against the current folder, which the caller chose.
bool IsAbsolutePath(const wchar_t* path) {
  auto isSeparator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  const bool drive = ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
                     path[1] == L':' && isSeparator(path[2]);
  const bool unc = isSeparator(path[0]) && isSeparator(path[1]) && path[2] != L'\0' && !isSeparator(path[2]);
  return drive || unc;
}

// The value as stored: an existing empty value is an answer too, so it ends
// the lookup; nothing is expanded, trimmed or unquoted. A value that is not
// an absolute path counts as malformed.
bool ReadInstallLocation(mw::String& result, bool isWow64) {
  RegistryKey key;
  const REGSAM access = KEY_QUERY_VALUE | (isWow64 ? KEY_WOW64_64KEY : 0);
  if (key.Open(HKEY_LOCAL_MACHINE, UninstallKeyPath, access) != ERROR_SUCCESS) return false;

  mw::String location;
  location.Reserve(64);
  DWORD count = 0;
  if (key.QueryString(InstallLocationValue, nullptr, count) != ERROR_SUCCESS) return false;
  wchar_t* buffer = location.GetBuffer(count);
  if (key.QueryString(InstallLocationValue, buffer, count) != ERROR_SUCCESS) return false;
  location.ReleaseBuffer();
  if (location.GetLength() != 0 && !IsAbsolutePath(location.GetText())) return false;
  result = location;
  return true;
}

// The executable's path without its arguments. A quoted path ends at the next
// quote, so a backslash inside the arguments cannot move the folder cut.
std::wstring ExecutablePath(const std::wstring& commandLine) {
  if (!commandLine.empty() && commandLine.front() == L'"') {
    const std::size_t closing = commandLine.find(L'"', 1);
    return commandLine.substr(1, closing == std::wstring::npos ? std::wstring::npos : closing - 1);
  }
  if (!commandLine.empty() && commandLine.back() == L'"') return commandLine.substr(0, commandLine.size() - 1);
  return commandLine;
}

}  // namespace

DWORD QueryServiceFolder(SC_HANDLE manager, const std::wstring& serviceName, std::wstring& folder) {
  ServiceHandle service(OpenServiceW(manager, serviceName.c_str(), SERVICE_QUERY_CONFIG));
  if (!service) return GetLastError();

  DWORD needed = 0;
  if (!QueryServiceConfigW(service.Get(), nullptr, 0, &needed) && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return GetLastError();
  }
  if (needed == 0) return ERROR_INVALID_DATA;
  std::vector<BYTE> buffer(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (!QueryServiceConfigW(service.Get(), config, needed, &needed)) return GetLastError();
  if (config->lpBinaryPathName == nullptr) return ERROR_INVALID_DATA;

  std::wstring path = ExecutablePath(config->lpBinaryPathName);
  if (path.empty()) return ERROR_INVALID_DATA;
  const std::size_t lastBackslash = path.rfind(L'\\');
  path.resize(lastBackslash == std::wstring::npos ? 0 : lastBackslash + 1);
  folder = path;
  return ERROR_SUCCESS;
}

void FindInstallPath(mw::String& result, bool isWow64) {
  if (ReadInstallLocation(result, isWow64)) return;

  // Needs administrative rights; other callers only have the registry source.
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  std::wstring folder;
  if (manager && QueryServiceFolder(manager.Get(), ServiceName, folder) == ERROR_SUCCESS &&
      IsAbsolutePath(folder.c_str())) {
    result = folder.c_str();
  } else {
    result = L"";
  }
}
