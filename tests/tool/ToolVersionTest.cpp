#include "tool/ToolVersion.h"

#include <gtest/gtest.h>

namespace {

ToolVersion Version(int major, int minor, int build, int revision) {
  return ToolVersion{major, minor, build, revision, true};
}

TEST(ToolVersion, OutputIsEchoedFromAfter7_9_5_318) {
  EXPECT_FALSE(ShouldWriteToolOutput(Version(7, 9, 5, 318)));
  EXPECT_TRUE(ShouldWriteToolOutput(Version(7, 9, 5, 319)));
  EXPECT_TRUE(ShouldWriteToolOutput(Version(7, 9, 6, 0)));
  EXPECT_FALSE(ShouldWriteToolOutput(Version(7, 8, 65535, 65535)));
  EXPECT_TRUE(ShouldWriteToolOutput(Version(8, 0, 0, 0)));
}

TEST(ToolVersion, DetachIsSupportedFromAfter7_9_10_0) {
  EXPECT_FALSE(IsDetachSupported(Version(7, 9, 10, 0)));
  EXPECT_TRUE(IsDetachSupported(Version(7, 9, 10, 1)));
  EXPECT_FALSE(IsDetachSupported(Version(7, 9, 9, 65535)));
  EXPECT_TRUE(IsDetachSupported(Version(7, 10, 0, 0)));
}

TEST(ToolVersion, MajorZeroCountsAsNewest) {
  EXPECT_TRUE(ShouldWriteToolOutput(Version(0, 0, 0, 0)));
  EXPECT_TRUE(IsDetachSupported(Version(0, 1, 2, 3)));
  EXPECT_FALSE(UsesOldPackage(Version(0, 6, 17, 253)));
}

TEST(ToolVersion, OldPackageServesExactlyItsVersions) {
  for (const ToolVersion& old : {Version(6, 0, 1, 0), Version(6, 0, 1, 999), Version(6, 0, 2, 7),
                                 Version(6, 6, 1, 0), Version(6, 6, 1, 65535), Version(6, 6, 17, 253)}) {
    EXPECT_TRUE(UsesOldPackage(old)) << FormatToolVersion(old).c_str();
  }
  for (const ToolVersion& current :
       {Version(6, 6, 17, 254), Version(6, 6, 17, 252), Version(6, 0, 3, 0), Version(6, 0, 0, 0),
        Version(6, 1, 1, 0), Version(6, 1, 2, 0), Version(6, 6, 2, 0), Version(6, 6, 18, 253), Version(7, 0, 1, 0),
        Version(5, 0, 1, 0), Version(7, 9, 12, 40)}) {
    EXPECT_FALSE(UsesOldPackage(current)) << FormatToolVersion(current).c_str();
  }
}

TEST(ToolVersion, AnUnreadVersionEnablesNothing) {
  const ToolVersion unread;
  EXPECT_FALSE(unread.ReadOk);
  EXPECT_FALSE(ShouldWriteToolOutput(unread));
  EXPECT_FALSE(IsDetachSupported(unread));
  EXPECT_FALSE(UsesOldPackage(unread));
  EXPECT_EQ(FormatToolVersion(unread), L"-1.-1.-1.-1");
  EXPECT_EQ(FormatToolVersion(Version(7, 9, 12, 40)), L"7.9.12.40");
}

}  // namespace
