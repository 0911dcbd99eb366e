#include "base/FinalPath.h"

namespace {

// Without the "\\?\" (or "\\?\UNC\") the system puts before a final path.
std::wstring WithoutLongPathPrefix(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
  if (path.starts_with(L"\\\\?\\")) return path.substr(4);
  return path;
}

}  // namespace

std::wstring FinalPathOf(HANDLE object) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(object, path.data(), static_cast<DWORD>(path.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return WithoutLongPathPrefix(path);
    }
    path.resize(length);  // the size it needs, its terminator included
  }
}
