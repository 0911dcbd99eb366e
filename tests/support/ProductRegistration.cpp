#include "tests/support/ProductRegistration.h"

namespace testing_support {

namespace {

constexpr wchar_t UninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Valcrest";
constexpr wchar_t ServiceName[] = L"ValcrestService";

}  // namespace

void RemoveProductRegistration() {
  for (REGSAM view : {View64, View32}) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, UninstallKey, view, 0);
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return;
  if (SC_HANDLE service = OpenServiceW(manager, ServiceName, DELETE)) {
    DeleteService(service);
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
}

bool SetInstallLocationValue(REGSAM view, DWORD type, const void* data, DWORD byteSize) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, UninstallKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS status =
      RegSetValueExW(key, L"InstallLocation", 0, type, static_cast<const BYTE*>(data), byteSize);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool SetInstallLocation(REGSAM view, const std::wstring& text, DWORD type) {
  return SetInstallLocationValue(view, type, text.c_str(),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool RegisterProductService(const std::wstring& binaryPath) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return false;
  SC_HANDLE service = CreateServiceW(manager, ServiceName, ServiceName, SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                     binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  const bool created = service != nullptr;
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return created;
}

bool SystemIs64Bit() {
  wchar_t folder[MAX_PATH];
  return GetSystemWow64DirectoryW(folder, MAX_PATH) != 0;
}

bool ProcessIsWow64() { return sizeof(void*) == 4 && SystemIs64Bit(); }

}  // namespace testing_support
