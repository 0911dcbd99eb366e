#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "tests/programs/Utf8Text.h"
#include "tests/support/ProgramRun.h"

namespace {

// The shipped launcher and a patch package that ships it: both carry the
// project's one version and declare the same systems.
const wchar_t* const ShippedImages[] = {L"Mendora.Launcher.exe", L"TestPatch.exe"};

std::string ReadManifest(const std::wstring& path) {
  HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (image == nullptr) return {};
  std::string manifest;
  if (HRSRC resource = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    if (HGLOBAL loaded = LoadResource(image, resource)) {
      manifest.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(image, resource));
    }
  }
  FreeLibrary(image);
  return manifest;
}

// The Id of every supportedOS entry, in whatever case the manifest has it.
std::set<std::string> SupportedSystems(const std::string& manifest) {
  std::set<std::string> ids;
  const std::string entry = "supportedOS Id=\"{";
  for (std::size_t at = manifest.find(entry); at != std::string::npos; at = manifest.find(entry, at + 1)) {
    std::string id = manifest.substr(at + entry.size(), 36);
    for (char& c : id) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    ids.insert(id);
  }
  return ids;
}

TEST(LauncherImage, ManifestRunsAsInvokerAndDeclaresVistaTo10) {
  const std::set<std::string> vistaTo10 = {
      "e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
      "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
      "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"};
  for (const wchar_t* name : ShippedImages) {
    SCOPED_TRACE(programs::ToUtf8(name));
    const std::string manifest = ReadManifest(testing_support::BinaryFolder() + name);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find(R"(level="asInvoker")"), std::string::npos);
    EXPECT_NE(manifest.find(R"(uiAccess="false")"), std::string::npos);
    EXPECT_EQ(SupportedSystems(manifest), vistaTo10) << manifest;
  }
}

// A string of the version resource's US English, Unicode block; empty when missing.
std::wstring VersionString(std::vector<char>& block, const wchar_t* key) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
  if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) return {};
  return value;
}

TEST(LauncherImage, CarriesItsOwnVersionResource) {
  const std::wstring version = std::to_wstring(MENDORA_VERSION_MAJOR) + L"." +
                               std::to_wstring(MENDORA_VERSION_MINOR) + L"." +
                               std::to_wstring(MENDORA_VERSION_PATCH) + L".0";
  for (const wchar_t* name : ShippedImages) {
    SCOPED_TRACE(programs::ToUtf8(name));
    const std::wstring path = testing_support::BinaryFolder() + name;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(MENDORA_VERSION_MINOR, MENDORA_VERSION_MAJOR));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, MENDORA_VERSION_PATCH));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Mendora.Launcher");
    EXPECT_EQ(VersionString(block, L"FileVersion"), version);
    EXPECT_EQ(VersionString(block, L"ProductVersion"), version);
    EXPECT_NE(VersionString(block, L"FileDescription"), L"");
  }
}

}  // namespace
