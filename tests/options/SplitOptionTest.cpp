#include "options/SplitOption.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <regex>
#include <ostream>
#include <string>

namespace {

// Stands in for "not assigned".
const std::wstring Untouched = L"<untouched>";

struct Split {
  std::wstring Name = Untouched;
  std::wstring Value = Untouched;
  bool operator==(const Split&) const = default;
};

Split SplitByScan(const std::wstring& token) {
  Split split;
  SplitOption(token.c_str(), split.Name, split.Value);
  return split;
}

// The definition the scan must follow; only fit for short tokens, as it
// recurses once per character.
Split SplitByPattern(const std::wstring& token) {
  static const std::wregex Pattern(L"(/|--|-)?([^=]*)(=(.*))?");
  Split split;
  std::wsmatch match;
  if (!std::regex_search(token, match, Pattern)) return split;
  if (match[2].matched) split.Name = match[2].str();
  if (match[4].matched) split.Value = match[4].str();
  return split;
}

std::string Escaped(const std::wstring& text) {
  std::string escaped;
  for (const wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      escaped.push_back(static_cast<char>(c));
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(c));
      escaped += code;
    }
  }
  return escaped;
}

void PrintTo(const Split& split, std::ostream* stream) {
  *stream << "name \"" << Escaped(split.Name) << "\", value \"" << Escaped(split.Value) << '"';
}

TEST(SplitOption, SplitsPrefixNameAndValue) {
  struct Case {
    std::wstring Token;
    Split Expected;
  };
  const Case cases[] = {
      {L"detach", {L"detach", Untouched}},
      {L"/detach", {L"detach", Untouched}},
      {L"-detach", {L"detach", Untouched}},
      {L"--detach", {L"detach", Untouched}},
      {L"---detach", {L"-detach", Untouched}},
      {L"//detach", {L"/detach", Untouched}},
      {L"-/x", {L"/x", Untouched}},
      {L" /detach", {L" /detach", Untouched}},
      {L"/Detach", {L"Detach", Untouched}},
      {L"/detach=no", {L"detach", L"no"}},
      {L"/detach=", {L"detach", L""}},
      {L"/a=b=c", {L"a", L"b=c"}},
      {L"=x", {L"", L"x"}},
      {L"-", {L"", Untouched}},
      {L"/", {L"", Untouched}},
      {L"", {L"", Untouched}},
      {L"/x=a\rb", {L"x", L"a"}},
      {L"/x=a\nb", {L"x", L"a"}},
      {L"/x=\r\n", {L"x", L""}},
      {L"/x=a\u2028b", {L"x", L"a"}},
      {L"/x\r\ny=z\u00e9", {L"x\r\ny", L"z\u00e9"}},
  };
  for (const auto& [token, expected] : cases) {
    EXPECT_EQ(SplitByScan(token), expected) << Escaped(token);
    EXPECT_EQ(SplitByPattern(token), expected) << Escaped(token);
  }
}

// MENDORA_SPLIT_ITERATIONS runs more tokens than the default.
TEST(SplitOption, AgreesWithThePatternOnRandomTokens) {
  const char* requested = std::getenv("MENDORA_SPLIT_ITERATIONS");
  const long iterations = requested != nullptr ? std::atol(requested) : 3000;
  // Characters that end the name or the value, and the rest.
  const std::wstring stops = L"=\r\n\u2028\u2029";
  const std::wstring others = L"/- \t\"\\aD\u00e9\u4e2d\x85\xD83D\xDE00\xFEFF\xFFFF";
  std::mt19937 random(20240222);
  std::uniform_int_distribution<std::size_t> pickStop(0, stops.size() - 1);
  std::uniform_int_distribution<std::size_t> pickOther(0, others.size() - 1);
  std::uniform_int_distribution<std::size_t> pickLength(0, 1000);
  // Stops now dense, now so rare that names and values run for hundreds of characters.
  const double stopChances[] = {0.3, 0.03, 0.003};
  std::uniform_int_distribution<std::size_t> pickStopChance(0, std::size(stopChances) - 1);

  for (long iteration = 0; iteration < iterations; ++iteration) {
    const std::size_t length = iteration % 4 == 0 ? pickLength(random) % 9 : pickLength(random);
    std::bernoulli_distribution isStop(stopChances[pickStopChance(random)]);
    std::wstring token;
    for (std::size_t i = 0; i < length; ++i) {
      token.push_back(isStop(random) ? stops[pickStop(random)] : others[pickOther(random)]);
    }
    ASSERT_EQ(SplitByScan(token), SplitByPattern(token)) << "iteration " << iteration << ": " << Escaped(token);
  }
}

}  // namespace
