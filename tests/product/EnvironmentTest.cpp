#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/programs/Utf8Text.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/ScratchFiles.h"

namespace {

using testing_support::BinaryFolder;
using programs::ToUtf8;
using testing_support::ProgramRequest;
using testing_support::ScratchFolder;

// Runs a copy of the probe placed at probePath; returns what it reported.
std::string RunProbe(const std::wstring& probePath, std::map<std::wstring, std::optional<std::wstring>> environment) {
  EXPECT_TRUE(CopyFileW((BinaryFolder() + L"EnvironmentProbe.exe").c_str(), probePath.c_str(), FALSE));
  ProgramRequest request;
  request.Program = probePath;
  request.Environment = std::move(environment);
  const auto result = testing_support::RunProgram(request);
  EXPECT_TRUE(result.Started) << result.StartError;
  return result.Stdout;
}

std::string Expected(const std::string& path, const std::string& oldPath) {
  std::string report;
  for (const char* who : {"self", "child"}) {
    report += std::string(who) + " PATH=" + path + "\n";
    report += std::string(who) + " VALCREST_OLD_PATH" + oldPath + "\n";
  }
  return report;
}

TEST(PrepareEnvironment, NarrowsPathAndKeepsTheCallersPath) {
  ScratchFolder scratch(L"env");
  const std::string folder = ToUtf8(scratch.Path());
  const std::wstring probe = scratch / L"probe.exe";

  EXPECT_EQ(RunProbe(probe, {{L"PATH", L"C:\\tools"}, {L"VALCREST_OLD_PATH", std::nullopt}}),
            Expected(folder + ";" + ToUtf8(programs::SystemFolderPath()), "=C:\\tools"));
  // An earlier launcher's saved PATH is kept.
  EXPECT_EQ(RunProbe(probe, {{L"PATH", L"C:\\tools"}, {L"VALCREST_OLD_PATH", L"C:\\first"}}),
            Expected(folder + ";" + ToUtf8(programs::SystemFolderPath()), "=C:\\first"));
  EXPECT_EQ(RunProbe(probe, {{L"PATH", L"C:\\tools"}, {L"VALCREST_OLD_PATH", L""}}),
            Expected(folder + ";" + ToUtf8(programs::SystemFolderPath()), "=C:\\tools"));
  EXPECT_EQ(RunProbe(probe, {{L"PATH", std::nullopt}, {L"VALCREST_OLD_PATH", std::nullopt}}),
            Expected(folder + ";" + ToUtf8(programs::SystemFolderPath()), "="));
}

TEST(PrepareEnvironment, KeepsTheRootBackslashOfADrive) {
  const std::wstring probe = L"C:\\mendora-probe-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  const std::string report = RunProbe(probe, {{L"PATH", L"C:\\tools"}});
  DeleteFileW(probe.c_str());
  EXPECT_EQ(report.substr(0, report.find('\n')), "self PATH=C:\\;" + ToUtf8(programs::SystemFolderPath()));
}

}  // namespace
