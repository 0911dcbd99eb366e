#include "launcher/LaunchOptions.h"

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

}  // namespace
