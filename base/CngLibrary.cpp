#include "base/CngLibrary.h"


#include "base/DllSearchOrder.h"
#include "base/NtStatusError.h"
#include "base/ProcAddress.h"

namespace {

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function) {
  function = mw::ProcAddress<Function>(module, name);
  return function != nullptr;
}

}  // namespace

CngLibrary::CngLibrary() : Module(LoadSystemLibrary(L"bcrypt.dll")) {
  if (!Module) {
    Error = GetLastError() != 0 ? GetLastError() : ERROR_MOD_NOT_FOUND;
    return;
  }
  const HMODULE module = Module.Get();
  if (!Resolve(module, "BCryptOpenAlgorithmProvider", OpenAlgorithmProvider) ||
      !Resolve(module, "BCryptCloseAlgorithmProvider", CloseAlgorithmProvider) ||
      !Resolve(module, "BCryptGetProperty", GetProperty) || !Resolve(module, "BCryptCreateHash", CreateHash) ||
      !Resolve(module, "BCryptHashData", HashData) || !Resolve(module, "BCryptFinishHash", FinishHash) ||
      !Resolve(module, "BCryptDestroyHash", DestroyHash) || !Resolve(module, "BCryptGenRandom", GenRandom)) {
    Error = ERROR_PROC_NOT_FOUND;
  }
}

CngAlgorithm::CngAlgorithm(const CngLibrary& library, const wchar_t* algorithm) : Library(library) {
  if (!library.Ready()) {
    Error = library.LoadError();
    return;
  }
  Error = NtStatusError(library.OpenAlgorithmProvider(&Handle, algorithm, nullptr, 0));
  if (Error != 0) Handle = nullptr;
}

CngAlgorithm::~CngAlgorithm() {
  if (Handle != nullptr) Library.CloseAlgorithmProvider(Handle, 0);
}
