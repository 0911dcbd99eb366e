#include "tests/support/VersionStamp.h"

#include <cstddef>
#include <cstring>

namespace testing_support {

namespace {

constexpr WORD VersionResourceLanguage = 0x409;

// VS_VERSIONINFO without children: the block header, its key, padding to a
// 32-bit boundary, then the fixed part.
struct VersionInfoBlock {
  WORD Length;
  WORD ValueLength;
  WORD Type;  // 0: binary value
  wchar_t Key[16];
  WORD Padding;
  VS_FIXEDFILEINFO Value;
};
static_assert(offsetof(VersionInfoBlock, Value) == 40 && sizeof(VersionInfoBlock) == 92);

// An update handle ends with EndUpdateResourceW, not CloseHandle; unless
// committed, the update is discarded.
class ResourceUpdate {
 public:
  ResourceUpdate(const std::wstring& exePath, BOOL dropExisting)
      : Handle(BeginUpdateResourceW(exePath.c_str(), dropExisting)) {}
  ResourceUpdate(const ResourceUpdate&) = delete;
  ResourceUpdate& operator=(const ResourceUpdate&) = delete;
  ~ResourceUpdate() {
    if (Handle != nullptr) EndUpdateResourceW(Handle, TRUE);
  }

  bool SetVersion(VersionInfoBlock& block) {
    return Handle != nullptr && UpdateResourceW(Handle, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO),
                                                VersionResourceLanguage, &block, sizeof block);
  }

  bool Commit() {
    if (Handle == nullptr) return false;
    const HANDLE handle = Handle;
    Handle = nullptr;
    return EndUpdateResourceW(handle, FALSE) != FALSE;
  }

 private:
  HANDLE Handle;
};

}  // namespace

bool StampFileVersion(const std::wstring& exePath, WORD major, WORD minor, WORD build, WORD revision) {
  VersionInfoBlock block{};
  block.Length = sizeof block;
  block.ValueLength = sizeof block.Value;
  std::memcpy(block.Key, L"VS_VERSION_INFO", sizeof block.Key);
  block.Value.dwSignature = VS_FFI_SIGNATURE;
  block.Value.dwStrucVersion = VS_FFI_STRUCVERSION;
  block.Value.dwFileVersionMS = MAKELONG(minor, major);
  block.Value.dwFileVersionLS = MAKELONG(revision, build);
  block.Value.dwProductVersionMS = block.Value.dwFileVersionMS;
  block.Value.dwProductVersionLS = block.Value.dwFileVersionLS;
  block.Value.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
  block.Value.dwFileOS = VOS_NT_WINDOWS32;
  block.Value.dwFileType = VFT_APP;

  ResourceUpdate update(exePath, FALSE);
  return update.SetVersion(block) && update.Commit();
}

bool RemoveAllResources(const std::wstring& exePath) {
  ResourceUpdate update(exePath, TRUE);
  return update.Commit();
}

}  // namespace testing_support
