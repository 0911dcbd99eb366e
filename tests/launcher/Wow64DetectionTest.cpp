#include "launcher/Wow64Detection.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/ProductRegistration.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/ScratchFiles.h"
#include "tests/support/WineAppDefaults.h"

namespace {

TEST(Wow64Detection, AgreesWithTheSystemShape) { EXPECT_EQ(DetectWow64(), testing_support::ProcessIsWow64()); }

TEST(Wow64Detection, PrefixReportsWindows10ToManifestedPrograms) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  info.dwMajorVersion = 10;
  const DWORDLONG mask = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
  EXPECT_TRUE(VerifyVersionInfoW(&info, VER_MAJORVERSION, mask));
}

TEST(Wow64Detection, FallsBackToIsWow64ProcessBeforeBuild10586) {
  testing_support::ScratchFolder scratch(L"win7");
  const std::wstring probe = scratch / L"Wow64ProbeOnWindows7.exe";
  ASSERT_TRUE(CopyFileW((testing_support::BinaryFolder() + L"Wow64Probe.exe").c_str(), probe.c_str(), FALSE));
  const std::string wow64 = testing_support::ProcessIsWow64() ? "yes" : "no";

  testing_support::ProgramRequest request;
  request.Program = probe;
  EXPECT_EQ(testing_support::RunProgram(request).Stdout, "build 10586 or later: yes, WOW64: " + wow64 + "\r\n");

  testing_support::WineAppDefaults windows7(L"Wow64ProbeOnWindows7.exe");
  windows7.ReportWindowsVersion(L"win7");
  EXPECT_EQ(testing_support::RunProgram(request).Stdout, "build 10586 or later: no, WOW64: " + wow64 + "\r\n");
}

}  // namespace
