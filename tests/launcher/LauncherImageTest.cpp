#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/ProgramRun.h"

namespace {

std::wstring LauncherPath() { return testing_support::BinaryFolder() + L"Mendora.Launcher.exe"; }

std::string ReadManifest() {
  HMODULE image = LoadLibraryExW(LauncherPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
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

TEST(LauncherImage, ManifestRunsAsInvokerAndDeclaresVistaTo10) {
  const std::string manifest = ReadManifest();
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find(R"(level="asInvoker")"), std::string::npos);
  EXPECT_NE(manifest.find(R"(uiAccess="false")"), std::string::npos);
  for (const char* id : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                         "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                         "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
    EXPECT_NE(manifest.find(id), std::string::npos) << id;
  }
}

TEST(LauncherImage, CarriesItsOwnVersionResource) {
  const std::wstring path = LauncherPath();
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
  wchar_t* productName = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductName",
                             reinterpret_cast<void**>(&productName), &length));
  EXPECT_STREQ(productName, L"Mendora.Launcher");
}

}  // namespace
