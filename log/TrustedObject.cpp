#include "log/TrustedObject.h"

#include <aclapi.h>

#include <string>

#include "base/FinalPath.h"

namespace {

std::wstring FullPath(const wchar_t* path) {
  const DWORD size = GetFullPathNameW(path, 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path, size, full.data(), nullptr);
  if (length == 0 || length >= size) return {};
  full.resize(length);
  return full;
}

}  // namespace

mw::LocalMemory ReadOwner(HANDLE object) {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                      &security) != ERROR_SUCCESS) {
    return {};
  }
  return mw::LocalMemory(security);
}

bool IsAtPath(HANDLE object, const wchar_t* path) {
  const std::wstring actual = FinalPathOf(object);
  const std::wstring expected = FullPath(path);
  return !actual.empty() && !expected.empty() &&
         CompareStringOrdinal(actual.c_str(), -1, expected.c_str(), -1, TRUE) == CSTR_EQUAL;
}
