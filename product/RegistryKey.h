#pragma once

#include <windows.h>

// Owns one open registry key; an empty holder is null and closing it does nothing.
class RegistryKey {
 public:
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() { Close(); }

  LSTATUS Open(HKEY parent, const wchar_t* subKey, REGSAM access);
  void Close();

  // Reads a REG_SZ or REG_EXPAND_SZ value. count: characters offered in,
  // characters of the value out, terminator included. Without a buffer only
  // the size is asked. A value of another type, an odd byte size or a value
  // without its terminator is ERROR_INVALID_DATA.
  LSTATUS QueryString(const wchar_t* valueName, wchar_t* buffer, DWORD& count) const;

 private:
  HKEY Key = nullptr;
};
