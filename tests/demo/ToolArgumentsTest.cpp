#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/ToolArguments.h"

namespace {

TEST(ToolArguments, ReadsEveryFormTheLauncherComposes) {
  ToolArguments parsed;
  std::wstring error;
  ASSERT_TRUE(ParseToolArguments({L"/encfile", L"C:\\pkg\\patch.rvx", L"diagnostic", L"detach"}, parsed, error));
  EXPECT_EQ(parsed.Package, L"C:\\pkg\\patch.rvx");
  EXPECT_EQ(parsed.ScriptFolder, L"");
  EXPECT_TRUE(parsed.Diagnostic);
  EXPECT_TRUE(parsed.Detach);

  ASSERT_TRUE(ParseToolArguments({L"/encfile", L"D:\\patch.rvx.old", L"/var", L"scriptdir", L"D:"}, parsed, error));
  EXPECT_EQ(parsed.Package, L"D:\\patch.rvx.old");
  EXPECT_EQ(parsed.ScriptFolder, L"D:");
  EXPECT_FALSE(parsed.Diagnostic);
  EXPECT_FALSE(parsed.Detach);
}

TEST(ToolArguments, RefusesWhatTheLauncherNeverComposes) {
  const std::vector<std::vector<std::wstring>> refused = {
      {},
      {L"detach"},
      {L"/encfile"},
      {L"/encfile", L"p.rvx", L"/var", L"scriptdir"},
      {L"/encfile", L"p.rvx", L"/var", L"other", L"C:\\x"},
      {L"/encfile", L"p.rvx", L"/detach"},
      {L"/encfile", L"p.rvx", L"Diagnostic"},
  };
  for (const auto& arguments : refused) {
    ToolArguments parsed;
    std::wstring error;
    EXPECT_FALSE(ParseToolArguments(arguments, parsed, error)) << arguments.size();
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
