#include "launcher/Wow64Detection.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/ProductRegistration.h"

namespace {

TEST(Wow64Detection, AgreesWithTheSystemShape) { EXPECT_EQ(DetectWow64(), testing_support::ProcessIsWow64()); }

TEST(Wow64Detection, PrefixReportsWindows10ToManifestedPrograms) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  info.dwMajorVersion = 10;
  const DWORDLONG mask = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
  EXPECT_TRUE(VerifyVersionInfoW(&info, VER_MAJORVERSION, mask));
}

}  // namespace
