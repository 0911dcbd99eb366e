#include "options/LaunchOptions.h"
#include "options/WaitOptions.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/programs/ProgramStart.h"
#include "tests/programs/Utf8Text.h"

namespace {

using programs::ToUtf8;
using Values = std::vector<std::wstring>;

class LaunchOptions : public ::testing::Test {
 protected:
  void TearDown() override { SetEnvironmentVariableW(L"SFXCMD", nullptr); }

  static OptionSet ReadWith(const wchar_t* text) {
    SetEnvironmentVariableW(L"SFXCMD", text);
    return ReadLaunchOptions();
  }
};

TEST_F(LaunchOptions, ReadsTheValueOfSfxcmdAsStored) {
  const std::wstring text = L"\"C:\\a b\\setup.exe\" /detach \u00e9\u4e2d\r\n";
  SetEnvironmentVariableW(L"SFXCMD", text.c_str());
  const mw::String read = ReadOptionText();
  EXPECT_EQ(read.GetLength(), text.size());
  EXPECT_EQ(read.GetText(), text);
  SetEnvironmentVariableW(L"SFXCMD", L"");
  EXPECT_STREQ(ReadOptionText().GetText(), L"");
  SetEnvironmentVariableW(L"SFXCMD", nullptr);
  EXPECT_STREQ(ReadOptionText().GetText(), L"");
}

TEST_F(LaunchOptions, DetachIsPresentInItsAcceptedSpellingsOnly) {
  struct Case {
    const wchar_t* Text;
    bool Present;
  };
  const Case cases[] = {
      {L"detach", true},       {L"/detach", true},     {L"-detach", true},
      {L"--detach", true},     {L"/detach=no", true},  {L"/detach=", true},
      {L"\"C:\\x y\\setup.exe\" -diagnostic /detach", true},
      {L"/Detach", false},     {L"/DETACH", false},    {L"//detach", false},
      {L"---detach", false},   {L"\"/detach \"", false}, {L"/detached", false},
  };
  for (const auto& [text, present] : cases) EXPECT_EQ(ReadWith(text).Has(L"detach"), present) << ToUtf8(text);
}

TEST_F(LaunchOptions, KeepsEveryValueInOrder) {
  const OptionSet options = ReadWith(L"/detach --x=a=b /detach -x \"/y=a\r\nb\" =v");
  EXPECT_EQ(options, (OptionSet{{{L"detach", Values{L"", L""}},
                                 {L"x", Values{L"a=b", L""}},
                                 {L"y", Values{L"a"}},
                                 {L"", Values{L"v"}}}}));
}

TEST_F(LaunchOptions, WithoutOptionTextTheOnlyOptionIsTheProgramPath) {
  // This test program's own command line carries switches; none of them may count.
  const std::wstring ownPath = programs::OwnProgramPath();
  for (const wchar_t* text : {static_cast<const wchar_t*>(nullptr), L""}) {
    const OptionSet options = ReadWith(text);
    ASSERT_EQ(options.size(), 1u);
    EXPECT_EQ(options.begin()->first, ownPath.substr(0, ownPath.find(L'=')));
    EXPECT_FALSE(options.Has(L"detach"));
    EXPECT_FALSE(options.Has(L"diagnostic"));
  }
}

// Options that carry a number: any spelling of the name, the last value
// given, and nothing guessed at, only a whole number in range.
TEST_F(LaunchOptions, WaitAndTimeoutTakeAWholeNumberInRangeOrTheDefault) {
  constexpr DWORD DefaultToolMs = 6000000;
  struct Row {
    const wchar_t* Text;
    DWORD OtherRunMs;
    DWORD ToolMs;
  };
  const Row rows[] = {
      {L"", 600000, DefaultToolMs},
      {L"wait=0", 0, DefaultToolMs},
      {L"/wait=30 --timeout=5", 30000, 300000},
      {L"-wait=86400 timeout=1440", 86400000, 86400000},
      {L"wait=0010 timeout=1", 10000, 60000},
      {L"wait=30 wait=40", 40000, DefaultToolMs},  // the last one counts
      {L"wait=86401 timeout=1441", 600000, DefaultToolMs},
      {L"wait=-1 timeout=0", 600000, DefaultToolMs},
      {L"wait= timeout", 600000, DefaultToolMs},
      {L"wait=+5 timeout=0x10", 600000, DefaultToolMs},
      {L"\"wait= 5\" \"timeout=5 \"", 600000, DefaultToolMs},
      {L"wait=99999999999999999999", 600000, DefaultToolMs},
      {L"Wait=5 TIMEOUT=5 //wait=5", 600000, DefaultToolMs},  // names are case-sensitive, like the switches
      {L"wait=5=5 timeout=\u0661", 600000, DefaultToolMs},   // an Arabic-Indic one is no digit here
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(ToUtf8(row.Text));
    const WaitLimits limits = ReadWaitLimits(ReadWith(row.Text), DefaultToolMs);
    EXPECT_EQ(limits.OtherRunMs, row.OtherRunMs);
    EXPECT_EQ(limits.ToolMs, row.ToolMs);
  }
}

}  // namespace
