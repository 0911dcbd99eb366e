#include "base/FinalPath.h"

#include <cwchar>

namespace {

// Without the "\\?\" (or "\\?\UNC\" for "\\") the system puts before a final path.
void DropLongPathPrefix(wchar_t* path) {
  const bool unc = std::wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0;
  if (!unc && std::wcsncmp(path, L"\\\\?\\", 4) != 0) return;
  const std::size_t skip = unc ? 6 : 4;
  std::wmemmove(path, path + skip, std::wcslen(path + skip) + 1);
  if (unc) path[0] = path[1] = L'\\';
}

}  // namespace

DWORD FinalPathOf(HANDLE object, HeapBlock& path) {
  path = AllocatePathBlock();
  if (!path) return ERROR_NOT_ENOUGH_MEMORY;
  auto* text = static_cast<wchar_t*>(path.Get());
  const DWORD length =
      GetFinalPathNameByHandleW(object, text, LongestPathUnits, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0) return GetLastError();
  if (length >= LongestPathUnits) return ERROR_FILENAME_EXCED_RANGE;
  DropLongPathPrefix(text);
  return 0;
}

bool IsAtPath(HANDLE object, const wchar_t* path) {
  HeapBlock actual;
  HeapBlock expected = AllocatePathBlock();
  if (FinalPathOf(object, actual) != 0 || !expected) return false;
  auto* full = static_cast<wchar_t*>(expected.Get());
  const DWORD length = GetFullPathNameW(path, LongestPathUnits, full, nullptr);
  return length != 0 && length < LongestPathUnits &&
         CompareStringOrdinal(static_cast<const wchar_t*>(actual.Get()), -1, full, -1, TRUE) == CSTR_EQUAL;
}
