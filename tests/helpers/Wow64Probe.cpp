// Reports what the system says about its build and what the launcher's WOW64
// detection concludes, so a test can run it under a Windows 7 disguise.

#include <windows.h>

#include <cstdio>

#include "launcher/Wow64Detection.h"

int main() {
  std::printf("build 10586 or later: %s, WOW64: %s\n", IsWindows10Build10586OrLater() ? "yes" : "no",
              DetectWow64() ? "yes" : "no");
  return 0;
}
