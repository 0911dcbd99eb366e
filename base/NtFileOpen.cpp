#include "base/NtFileOpen.h"

#include <cstdio>
#include <cwchar>

NTSTATUS NtOpenInFolder(HANDLE folder, const wchar_t* name, const NtOpenRequest& request, mw::UniqueHandle& opened) {
  UNICODE_STRING objectName{};
  objectName.Buffer = const_cast<wchar_t*>(name);
  objectName.Length = static_cast<USHORT>(std::wcslen(name) * sizeof(wchar_t));
  objectName.MaximumLength = objectName.Length;
  OBJECT_ATTRIBUTES attributes{};
  InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, folder, request.Security);
  IO_STATUS_BLOCK status{};
  HANDLE handle = nullptr;
  const NTSTATUS result = NtCreateFile(&handle, request.Access | SYNCHRONIZE, &attributes, &status, nullptr,
                                       FILE_ATTRIBUTE_NORMAL, request.Share, request.Disposition,
                                       request.Options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (result >= 0) opened.Reset(handle);
  return result;
}

bool NtPathOf(const wchar_t* path, wchar_t* ntPath, std::size_t units) {
  if (std::wcsncmp(path, L"\\\\?\\", 4) == 0) return _snwprintf_s(ntPath, units, _TRUNCATE, L"\\??\\%ls", path + 4) > 0;
  if (std::wcsncmp(path, L"\\\\", 2) == 0) return _snwprintf_s(ntPath, units, _TRUNCATE, L"\\??\\UNC\\%ls", path + 2) > 0;
  return _snwprintf_s(ntPath, units, _TRUNCATE, L"\\??\\%ls", path) > 0;
}
