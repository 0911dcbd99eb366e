// Reports what the system says about its build and what the launcher's WOW64
// detection concludes, so a test can run it under a Windows 7 disguise.

#include <windows.h>

#include <cstdio>

#include "launcher/Wow64Detection.h"

int main() {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  info.dwBuildNumber = 10586;
  const DWORDLONG mask = VerSetConditionMask(0, VER_BUILDNUMBER, VER_GREATER_EQUAL);
  const bool recentBuild = VerifyVersionInfoW(&info, VER_BUILDNUMBER, mask) != FALSE;
  std::printf("build 10586 or later: %s, WOW64: %s\n", recentBuild ? "yes" : "no", DetectWow64() ? "yes" : "no");
  return 0;
}
