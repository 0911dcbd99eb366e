#include "base/CngLibrary.h"

#include <winternl.h>

#include "base/DllSearchOrder.h"
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

DWORD CngError(NTSTATUS status) {
  if (status >= 0) return 0;
  const ULONG error = RtlNtStatusToDosError(status);
  // Statuses without a Windows error of their own map to this one.
  return error != 0 ? error : ERROR_MR_MID_NOT_FOUND;
}

CngAlgorithm::CngAlgorithm(const CngLibrary& library, const wchar_t* algorithm) : Library(library) {
  if (!library.Ready()) {
    Error = library.LoadError();
    return;
  }
  Error = CngError(library.OpenAlgorithmProvider(&Handle, algorithm, nullptr, 0));
  if (Error != 0) Handle = nullptr;
}

CngAlgorithm::~CngAlgorithm() {
  if (Handle != nullptr) Library.CloseAlgorithmProvider(Handle, 0);
}
