#include "base/OwnImage.h"

#include <winternl.h>

#include <utility>

extern "C" NTSTATUS NTAPI NtAreMappedFilesTheSame(PVOID firstView, PVOID secondView);

DWORD OwnProgramPath(HeapBlock& path) {
  path = AllocatePathBlock();
  if (!path) return ERROR_NOT_ENOUGH_MEMORY;
  auto* text = static_cast<wchar_t*>(path.Get());
  const DWORD length = GetModuleFileNameW(nullptr, text, LongestPathUnits);
  // A full buffer may hold a cut path, unterminated on older systems.
  if (length != 0 && length < LongestPathUnits) return 0;
  const DWORD error = length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
  text[0] = L'\0';
  return error;
}

DWORD OwnImageFile::Hold() {
  HoldError = Open();
  return HoldError;
}

DWORD OwnImageFile::Open() {
  if (const DWORD error = OwnProgramPath(PathText)) return error;
  mw::UniqueFileHandle file(CreateFileW(static_cast<const wchar_t*>(PathText.Get()), GENERIC_READ | GENERIC_EXECUTE,
                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return GetLastError();
  // Mapped as an image too, as the loader compares a module it maps with
  // those it has.
  const mw::UniqueHandle section(CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY | SEC_IMAGE, 0, 0, nullptr));
  if (!section) return GetLastError();
  void* const view = MapViewOfFile(section.Get(), FILE_MAP_READ, 0, 0, 0);
  if (view == nullptr) return GetLastError();
  const NTSTATUS same = NtAreMappedFilesTheSame(GetModuleHandleW(nullptr), view);
  UnmapViewOfFile(view);
  if (same < 0) return ERROR_FILE_INVALID;
  File = std::move(file);
  return 0;
}
