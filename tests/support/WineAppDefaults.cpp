#include "tests/support/WineAppDefaults.h"

#include <windows.h>

namespace testing_support {

namespace {

void SetText(const std::wstring& keyPath, const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

}  // namespace

WineAppDefaults::WineAppDefaults(const std::wstring& exeName) : Key(L"Software\\Wine\\AppDefaults\\" + exeName) {}

WineAppDefaults::~WineAppDefaults() { RegDeleteTreeW(HKEY_CURRENT_USER, Key.c_str()); }

void WineAppDefaults::ReportWindowsVersion(const std::wstring& version) { SetText(Key, L"Version", version); }

void WineAppDefaults::PreferNativeDll(const std::wstring& dllName) {
  SetText(Key + L"\\DllOverrides", dllName.c_str(), L"native,builtin");
}

void WineAppDefaults::DisableDll(const std::wstring& dllName) { SetText(Key + L"\\DllOverrides", dllName.c_str(), L""); }

}  // namespace testing_support
