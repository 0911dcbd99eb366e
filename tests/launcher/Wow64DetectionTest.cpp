#include "launcher/Wow64Detection.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

// A 32-bit process is under WOW64 exactly when the system has a WOW64 folder.
bool SystemIs64Bit() {
  wchar_t folder[MAX_PATH];
  return sizeof(void*) == 4 && GetSystemWow64DirectoryW(folder, MAX_PATH) != 0;
}

TEST(Wow64Detection, AgreesWithTheSystemShape) { EXPECT_EQ(DetectWow64(), SystemIs64Bit()); }

TEST(Wow64Detection, PrefixReportsWindows10ToManifestedPrograms) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  info.dwMajorVersion = 10;
  const DWORDLONG mask = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
  EXPECT_TRUE(VerifyVersionInfoW(&info, VER_MAJORVERSION, mask));
}

}  // namespace
