#include <gtest/gtest.h>

#include <string>

#include "tool/ToolInvocation.h"

namespace {

std::wstring Text(const mw::String& s) { return std::wstring(s.GetText(), s.GetLength()); }

struct Composed {
  std::wstring CommandLine;
  std::wstring WorkingFolder;
};

Composed Compose(const wchar_t* package, bool useOld, const wchar_t* launcherFolder) {
  mw::PathString folder(launcherFolder);
  const mw::String commandLine = ComposeToolCommandLine(
      mw::String(L"C:\\Program Files\\Valcrest\\installer\\rivlet.exe"), mw::String(package), useOld, folder);
  return {Text(commandLine), Text(folder)};
}

TEST(ToolCommandLine, QuotesTheToolAndThePackage) {
  const auto composed = Compose(L"C:\\Temp\\pkg\\patch.rvx", false, L"C:\\Temp\\pkg\\");
  EXPECT_EQ(composed.CommandLine,
            L"\"C:\\Program Files\\Valcrest\\installer\\rivlet.exe\" /encfile \"C:\\Temp\\pkg\\patch.rvx\"");
  EXPECT_EQ(composed.WorkingFolder, L"C:\\Temp\\pkg");
}

TEST(ToolCommandLine, OldPackagesGetTheScriptFolderWithoutTrailingBackslash) {
  const auto composed = Compose(L"C:\\Temp\\pkg\\patch.rvx.old", true, L"C:\\Temp\\pkg\\");
  EXPECT_EQ(composed.CommandLine,
            L"\"C:\\Program Files\\Valcrest\\installer\\rivlet.exe\" /encfile \"C:\\Temp\\pkg\\patch.rvx.old\""
            L" /var scriptdir \"C:\\Temp\\pkg\"");
}

TEST(ToolCommandLine, DriveRootBecomesTheBareDrive) {
  const auto composed = Compose(L"D:\\patch.rvx.old", true, L"D:\\");
  EXPECT_EQ(composed.WorkingFolder, L"D:");
  EXPECT_NE(composed.CommandLine.find(L"/encfile \"D:\\patch.rvx.old\" /var scriptdir \"D:\""), std::wstring::npos);
}

TEST(ToolCommandLine, StripsEveryTrailingBackslashButNoSlash) {
  EXPECT_EQ(Compose(L"p", false, L"C:\\a\\\\\\").WorkingFolder, L"C:\\a");
  EXPECT_EQ(Compose(L"p", false, L"C:/a/").WorkingFolder, L"C:/a/");
  EXPECT_EQ(Compose(L"p", false, L"C:\\a\\b/\\").WorkingFolder, L"C:\\a\\b/");
  EXPECT_EQ(Compose(L"p", false, L"").WorkingFolder, L"");
}

}  // namespace
