#pragma once

#include <windows.h>

#include <bcrypt.h>

#include "base/UniqueHolder.h"

// The functions of CNG (bcrypt.dll) that the programs use, loaded from the
// system folder when one is made. bcrypt.dll is not a Known DLL, so it is
// never imported statically: a static import would be resolved before the
// DLL search is restricted, with the program's folder first.
class CngLibrary {
 public:
  // The Windows error of the load, 0 once Ready.
  CngLibrary();

  bool Ready() const { return Error == 0; }
  DWORD LoadError() const { return Error; }

  decltype(&BCryptOpenAlgorithmProvider) OpenAlgorithmProvider = nullptr;
  decltype(&BCryptCloseAlgorithmProvider) CloseAlgorithmProvider = nullptr;
  decltype(&BCryptGetProperty) GetProperty = nullptr;
  decltype(&BCryptCreateHash) CreateHash = nullptr;
  decltype(&BCryptHashData) HashData = nullptr;
  decltype(&BCryptFinishHash) FinishHash = nullptr;
  decltype(&BCryptDestroyHash) DestroyHash = nullptr;
  decltype(&BCryptGenRandom) GenRandom = nullptr;

 private:
  struct ModuleTraits {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static bool IsEmpty(Type value) { return value == nullptr; }
    static void Close(Type value) { FreeLibrary(value); }
  };
  mw::UniqueHolder<ModuleTraits> Module;
  DWORD Error = 0;
};

// An algorithm provider of CNG, closed on every way out.
class CngAlgorithm {
 public:
  CngAlgorithm(const CngLibrary& library, const wchar_t* algorithm);
  ~CngAlgorithm();
  CngAlgorithm(const CngAlgorithm&) = delete;
  CngAlgorithm& operator=(const CngAlgorithm&) = delete;

  BCRYPT_ALG_HANDLE Get() const { return Handle; }
  DWORD OpenError() const { return Error; }  // 0 once open

 private:
  const CngLibrary& Library;
  BCRYPT_ALG_HANDLE Handle = nullptr;
  DWORD Error = 0;
};
