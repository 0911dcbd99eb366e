#pragma once

#include <windows.h>

#include "base/UniqueHolder.h"

// Owns one open registry key.
using RegistryKeyHandle = mw::UniqueHolder<mw::NullEmptyTraits<HKEY, &RegCloseKey>>;

// An open registry key and the typed query the lookup needs of it; an empty
// key is closed, and closing it does nothing.
class RegistryKey {
 public:
  LSTATUS Open(HKEY parent, const wchar_t* subKey, REGSAM access);

  // Reads a REG_SZ or REG_EXPAND_SZ value. count: characters offered in,
  // characters of the value out, terminator included. Without a buffer only
  // the size is asked. A value of another type, an odd byte size or a value
  // without its terminator is ERROR_INVALID_DATA.
  LSTATUS QueryString(const wchar_t* valueName, wchar_t* buffer, DWORD& count) const;

 private:
  RegistryKeyHandle Key;
};
