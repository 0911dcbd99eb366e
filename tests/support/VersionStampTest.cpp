#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/ScratchFiles.h"
#include "tests/support/StandInInstall.h"
#include "tests/support/VersionStamp.h"

namespace {

using testing_support::FileVersion;

DWORD VersionInfoSize(const std::wstring& path) {
  DWORD ignored = 0;
  return GetFileVersionInfoSizeW(path.c_str(), &ignored);
}

// The way a reader of the product's tool sees the version.
std::optional<FileVersion> ReadFileVersion(const std::wstring& path) {
  const DWORD size = VersionInfoSize(path);
  if (size == 0) return std::nullopt;
  std::vector<char> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return std::nullopt;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed ||
      fixed->dwSignature != VS_FFI_SIGNATURE) {
    return std::nullopt;
  }
  return FileVersion{HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                     LOWORD(fixed->dwFileVersionLS)};
}

class VersionStamp : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Folder.Path().empty());
    ASSERT_TRUE(CopyFileW(testing_support::BuiltStandInToolPath().c_str(), Tool.c_str(), FALSE)) << GetLastError();
  }

  testing_support::ScratchFolder Folder{L"tool"};
  const std::wstring Tool = Folder / L"rivlet.exe";
};

TEST_F(VersionStamp, RoundTripsVersionsStampedOneAfterAnother) {
  EXPECT_EQ(VersionInfoSize(Tool), 0u) << "the built tool must carry no version of its own";
  for (const FileVersion version : {FileVersion{0, 0, 0, 1}, FileVersion{0, 9, 1234, 0}, FileVersion{1, 2, 3, 4},
                                    FileVersion{65535, 65535, 65535, 65535}, FileVersion{10, 0, 19041, 1},
                                    FileVersion{0, 0, 0, 0}}) {
    ASSERT_TRUE(
        testing_support::StampFileVersion(Tool, version.Major, version.Minor, version.Build, version.Revision));
    const auto read = ReadFileVersion(Tool);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->Major, version.Major);
    EXPECT_EQ(read->Minor, version.Minor);
    EXPECT_EQ(read->Build, version.Build);
    EXPECT_EQ(read->Revision, version.Revision);
  }
}

TEST_F(VersionStamp, RemovalLeavesNoVersionAndCanBeStampedAgain) {
  ASSERT_TRUE(testing_support::StampFileVersion(Tool, 7, 1, 2, 3));
  ASSERT_TRUE(testing_support::RemoveAllResources(Tool));
  EXPECT_EQ(VersionInfoSize(Tool), 0u);

  ASSERT_TRUE(testing_support::StampFileVersion(Tool, 8, 0, 0, 5));
  const auto read = ReadFileVersion(Tool);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->Major, 8);
  EXPECT_EQ(read->Revision, 5);
}

TEST_F(VersionStamp, FailsOnAMissingFile) {
  EXPECT_FALSE(testing_support::StampFileVersion(Folder / L"missing.exe", 1, 0, 0, 0));
}

}  // namespace
