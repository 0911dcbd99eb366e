#include "tool/ToolVersion.h"

#include <windows.h>

#include <tuple>
#include <vector>

#include "base/SystemLibraries.h"
#include "log/Log.h"

namespace {

auto Tuple(const ToolVersion& version) {
  return std::make_tuple(version.Major, version.Minor, version.Build, version.Revision);
}

bool IsNewerThan(const ToolVersion& version, int major, int minor, int build, int revision) {
  return Tuple(version) > std::make_tuple(major, minor, build, revision);
}

}  // namespace

ToolVersion ReadToolVersion(const mw::String& toolPath) {
  ToolVersion version;
  DWORD ignored = 0;
  const DWORD size = SystemLibraries::GetFileVersionInfoSizeW(toolPath.GetText(), &ignored);
  if (size == 0) {
    WriteLog(L"[ERROR] GetFileVersionInfoSize failed! GetLastError: %d", static_cast<int>(GetLastError()));
    return version;
  }
  std::vector<BYTE> block(size);
  if (!SystemLibraries::GetFileVersionInfoW(toolPath.GetText(), 0, size, block.data())) {
    WriteLog(L"[ERROR] GetFileVersionInfo failed! GetLastError: %d", static_cast<int>(GetLastError()));
    return version;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!SystemLibraries::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      fixed == nullptr || length < sizeof(VS_FIXEDFILEINFO)) {
    WriteLog(L"[ERROR] VerQueryValue failed! GetLastError: %d", static_cast<int>(GetLastError()));
    return version;
  }
  version.Major = HIWORD(fixed->dwFileVersionMS);
  version.Minor = LOWORD(fixed->dwFileVersionMS);
  version.Build = HIWORD(fixed->dwFileVersionLS);
  version.Revision = LOWORD(fixed->dwFileVersionLS);
  version.ReadOk = true;
  return version;
}

std::wstring FormatToolVersion(const ToolVersion& version) {
  return std::to_wstring(version.Major) + L"." + std::to_wstring(version.Minor) + L"." +
         std::to_wstring(version.Build) + L"." + std::to_wstring(version.Revision);
}

bool ShouldWriteToolOutput(const ToolVersion& version) {
  return version.Major == 0 || IsNewerThan(version, 7, 9, 5, 318);
}

bool IsDetachSupported(const ToolVersion& version) {
  return version.Major == 0 || IsNewerThan(version, 7, 9, 10, 0);
}

bool UsesOldPackage(const ToolVersion& version) {
  if (version.Major != 6) return false;
  if (version.Minor == 0) return version.Build == 1 || version.Build == 2;
  if (version.Minor == 6) return version.Build == 1 || (version.Build == 17 && version.Revision == 253);
  return false;
}
