#include "options/OptionSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Values = std::vector<std::wstring>;

TEST(ParseOptions, SplitsTokensOfTheLargestOptionText) {
  // Name and value thousands of characters long: beyond what a recursive
  // pattern match survives.
  const std::wstring longToken = L"--" + std::wstring(16000, L'n') + L"=" + std::wstring(16758, L'v');
  const wchar_t* tokens[] = {L"/detach", longToken.c_str()};
  OptionSet options;
  ParseOptions(options, 2, tokens);
  EXPECT_EQ(options, (OptionSet{{{L"detach", Values{L""}},
                                 {std::wstring(16000, L'n'), Values{std::wstring(16758, L'v')}}}}));
}

TEST(ParseOptions, ACountOfZeroOrLessChangesNothing) {
  const wchar_t* tokens[] = {L"/detach"};
  OptionSet options{{{L"x", Values{L"1"}}}};
  ParseOptions(options, 0, tokens);
  ParseOptions(options, -1, tokens);
  EXPECT_EQ(options, (OptionSet{{{L"x", Values{L"1"}}}}));
}

}  // namespace
