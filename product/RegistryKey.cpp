#include "product/RegistryKey.h"

LSTATUS RegistryKey::Open(HKEY parent, const wchar_t* subKey, REGSAM access) {
  Key.Close();
  HKEY opened = nullptr;
  const LSTATUS status = RegOpenKeyExW(parent, subKey, 0, access, &opened);
  if (status == ERROR_SUCCESS) Key.Reset(opened);
  return status;
}

LSTATUS RegistryKey::QueryString(const wchar_t* valueName, wchar_t* buffer, DWORD& count) const {
  DWORD byteSize = count * sizeof(wchar_t);
  count = 0;
  DWORD type = REG_NONE;
  const LSTATUS status =
      RegQueryValueExW(Key.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &byteSize);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  if (buffer != nullptr) {
    if (byteSize == 0) {
      buffer[0] = L'\0';
    } else if (byteSize % sizeof(wchar_t) != 0 || buffer[byteSize / sizeof(wchar_t) - 1] != L'\0') {
      return ERROR_INVALID_DATA;
    }
  }
  count = byteSize / sizeof(wchar_t);
  return ERROR_SUCCESS;
}
