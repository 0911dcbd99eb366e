#include "base/GuardedString.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstring>
#include <string>

namespace {

using mw::String;

constexpr int FailFastExitCode = static_cast<int>(0xC0000409);

std::uint32_t WordAt(const void* at) {
  std::uint32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

const std::byte* BlockOf(const String& s) { return reinterpret_cast<const std::byte*>(s.GetText()) - mw::TextOffset; }

mw::StringHeader* HeaderOf(const String& s) {
  mw::StringHeader* header;
  std::memcpy(&header, BlockOf(s) + mw::GuardSize, sizeof header);
  return header;
}

std::wstring Text(const String& s) { return std::wstring(s.GetText(), s.GetLength()); }

TEST(GuardedString, NullStringReadsAsEmptyText) {
  String s;
  EXPECT_EQ(s.GetText(), mw::EmptyText);
  EXPECT_EQ(s.GetLength(), 0u);
  EXPECT_EQ(s.GetCapacity(), 0u);
  s.Release();
  EXPECT_EQ(s.GetText(), mw::EmptyText);
  s.CheckGuards();
}

TEST(GuardedString, BlockIsFramedByGuardsAroundHeaderPointerAndText) {
  String s(L"abc");
  const std::byte* block = BlockOf(s);
  EXPECT_EQ(WordAt(block), mw::GuardWord);
  EXPECT_EQ(WordAt(block + mw::GuardSize + sizeof(void*)), mw::GuardWord);
  EXPECT_EQ(WordAt(s.GetText() + s.GetCapacity() + 1), mw::GuardWord);
  EXPECT_EQ(s.GetText()[s.GetCapacity()], L'\0');

  const mw::StringHeader* header = HeaderOf(s);
  EXPECT_EQ(header->Manager, &mw::StringMemMgr::Instance());
  EXPECT_EQ(header->Length, 3u);
  EXPECT_EQ(header->Capacity, 64u);
  EXPECT_EQ(header->GrowBy, 64u);
  EXPECT_EQ(header->OwnsBlock, 1);
  EXPECT_EQ(header->OwnsHeader, 1);
  // The block size asked of the heap: two bytes a unit plus the frame.
  EXPECT_EQ(_msize(const_cast<std::byte*>(block)), 2 * 64 + mw::BlockOverhead);
  if (sizeof(void*) == 4) EXPECT_EQ(mw::BlockOverhead, 18u);
}

TEST(GuardedString, ConstructionFromTextTakesAtLeast64Units) {
  EXPECT_EQ(String(L"0123456789").GetCapacity(), 64u);
  const std::wstring hundred(100, L'x');
  String s(hundred.c_str());
  EXPECT_EQ(s.GetCapacity(), 100u);
  EXPECT_EQ(Text(s), hundred);

  String fromNull(static_cast<const wchar_t*>(nullptr));
  EXPECT_EQ(fromNull.GetCapacity(), 64u);
  EXPECT_EQ(fromNull.GetLength(), 0u);
  EXPECT_NE(fromNull.GetText(), mw::EmptyText);
}

struct GrowthRow {
  std::uint32_t StartCapacity;  // 0: a null string
  std::uint32_t Need;
  std::uint32_t Expected;
};

class GuardedStringGrowth : public ::testing::TestWithParam<GrowthRow> {};

TEST_P(GuardedStringGrowth, FollowsTheGrowthRule) {
  const GrowthRow row = GetParam();
  String s;
  if (row.StartCapacity != 0) ASSERT_TRUE(s.SetCapacity(row.StartCapacity));
  ASSERT_TRUE(s.Reserve(row.Need));
  EXPECT_EQ(s.GetCapacity(), row.Expected);
  s.CheckGuards();
}

INSTANTIATE_TEST_SUITE_P(Table, GuardedStringGrowth,
                         ::testing::Values(GrowthRow{0, 0, 64}, GrowthRow{0, 64, 64}, GrowthRow{0, 100, 100},
                                           GrowthRow{64, 64, 64}, GrowthRow{64, 65, 128}, GrowthRow{64, 300, 300},
                                           GrowthRow{1000, 1001, 2000}, GrowthRow{1023, 1024, 2046},
                                           GrowthRow{1024, 1025, 2048}, GrowthRow{1025, 1026, 2049},
                                           GrowthRow{1024, 3000, 3000}, GrowthRow{2000, 2001, 3024}),
                         [](const ::testing::TestParamInfo<GrowthRow>& info) {
                           return "Capacity" + std::to_string(info.param.StartCapacity) + "Need" +
                                  std::to_string(info.param.Need);
                         });

TEST(GuardedString, AppendGrowsAndKeepsText) {
  String s(std::wstring(64, L'a').c_str());
  ASSERT_EQ(s.GetCapacity(), 64u);
  s.Append(L"b");
  EXPECT_EQ(s.GetCapacity(), 128u);
  EXPECT_EQ(Text(s), std::wstring(64, L'a') + L"b");

  String big(std::wstring(1024, L'c').c_str());
  big.Append(L"d");
  EXPECT_EQ(big.GetCapacity(), 2048u);
  EXPECT_EQ(big.GetLength(), 1025u);
}

TEST(GuardedString, AppendOfNothingChangesNothing) {
  String s(L"ab");
  s.Append(nullptr);
  s.Append(L"xyz", 0);
  s.Append(L"");
  EXPECT_EQ(Text(s), L"ab");
}

TEST(GuardedString, AppendOfItsOwnTextSurvivesTheMoveToALargerBlock) {
  const std::wstring start(60, L'q');
  String s(start.c_str());
  s.Append(s.GetText(), s.GetLength());
  EXPECT_EQ(Text(s), start + start);
  s.Append(s.GetText() + 100);
  EXPECT_EQ(Text(s), start + start + std::wstring(20, L'q'));
}

TEST(GuardedString, AssignCopiesCountedUnitsIncludingZeros) {
  String s;
  ASSERT_TRUE(s.Assign(L"a\0b", 3));
  EXPECT_EQ(s.GetLength(), 3u);
  EXPECT_EQ(Text(s), std::wstring(L"a\0b", 3));
  ASSERT_TRUE(s.Assign(nullptr, 5));
  EXPECT_EQ(s.GetLength(), 0u);
}

TEST(GuardedString, SetCapacityCutsTheText) {
  String s(L"abcdefgh");
  ASSERT_TRUE(s.SetCapacity(5));
  EXPECT_EQ(Text(s), L"abcde");
  EXPECT_EQ(s.GetLength(), 5u);
  EXPECT_EQ(s.GetText()[5], L'\0');
  s.CheckGuards();
}

TEST(GuardedString, AssigningItsOwnTextChangesNothing) {
  String s(L"same");
  const wchar_t* before = s.GetText();
  s = s.GetText();
  EXPECT_EQ(s.GetText(), before);
  EXPECT_EQ(Text(s), L"same");

  String null;
  null = mw::EmptyText;  // a null string's own text
  EXPECT_EQ(null.GetText(), mw::EmptyText);
  EXPECT_EQ(null.GetCapacity(), 0u);
}

TEST(GuardedString, AssigningNullTextLeavesAnEmptyStringWithABlock) {
  String s(L"abc");
  s = static_cast<const wchar_t*>(nullptr);
  EXPECT_EQ(s.GetLength(), 0u);
  EXPECT_EQ(s.GetCapacity(), 64u);
}

TEST(GuardedString, CopiesAreIndependent) {
  String a(L"first");
  String b(a);
  String c;
  c = a;
  a.Append(L"!");
  EXPECT_EQ(Text(b), L"first");
  EXPECT_EQ(Text(c), L"first");
  EXPECT_NE(b.GetText(), a.GetText());

  String fromNull;
  String copy(fromNull);
  EXPECT_EQ(copy.GetLength(), 0u);
  EXPECT_NE(copy.GetText(), mw::EmptyText);  // empty with a block, not null
}

TEST(GuardedString, MoveFromTakesTheBlockWithoutCopying) {
  String source(L"moved text");
  const wchar_t* block = source.GetText();
  String target(L"old");
  target.MoveFrom(source);
  EXPECT_EQ(target.GetText(), block);
  EXPECT_EQ(Text(target), L"moved text");
  EXPECT_EQ(source.GetText(), mw::EmptyText);
  EXPECT_EQ(source.GetCapacity(), 0u);

  target.MoveFrom(target);
  EXPECT_EQ(Text(target), L"moved text");

  String null;
  target.MoveFrom(null);  // nothing to take: copied, leaving an empty block
  EXPECT_EQ(target.GetLength(), 0u);
  EXPECT_NE(target.GetText(), mw::EmptyText);
}

TEST(GuardedString, ConcatenationInBothOrders) {
  const String path(L"C:\\dir");
  EXPECT_EQ(Text(L"\"" + path), L"\"C:\\dir");
  EXPECT_EQ(Text(path + L"\\file"), L"C:\\dir\\file");
  EXPECT_EQ(Text(String() + L"x"), L"x");
}

TEST(GuardedString, FormatReplacesTheText) {
  String s(L"previous content");
  s.Format(L"\"%s\"", L"C:\\x");
  EXPECT_EQ(Text(s), L"\"C:\\x\"");
  EXPECT_EQ(s.GetLength(), 6u);
  s.Format(L"%s-%d", L"pid", -42);
  EXPECT_EQ(Text(s), L"pid--42");

  const std::wstring longText(5000, L'z');
  s.Format(L"[%s]", longText.c_str());
  EXPECT_EQ(Text(s), L"[" + longText + L"]");
  s.CheckGuards();
}

TEST(GuardedString, FormatThatCannotBeCountedOrWrittenLeavesTheStringEmpty) {
  String s(L"abc");
  s.Format(nullptr);
  EXPECT_EQ(s.GetLength(), 0u);
  EXPECT_NE(s.GetText(), mw::EmptyText);

  String uncountable(L"abc");
  uncountable.Format(L"%2147483647d%2147483647d", 1, 2);  // more than the runtime can count
  EXPECT_EQ(uncountable.GetLength(), 0u);
  uncountable.CheckGuards();

  // Counted as one character, but refused by the checked formatter.
  String unwritable(L"abc");
  unwritable.Format(L"%y");
  EXPECT_EQ(unwritable.GetLength(), 0u);
  EXPECT_STREQ(unwritable.GetText(), L"");
  unwritable.CheckGuards();
}

TEST(GuardedString, ReleaseBufferMeasuresWhatWasWritten) {
  String s;
  wchar_t* buffer = s.GetBuffer(20);
  ASSERT_GE(s.GetCapacity(), 20u);
  wcscpy(buffer, L"written");
  s.ReleaseBuffer();
  EXPECT_EQ(s.GetLength(), 7u);
  buffer = s.GetBuffer(mw::MeasureText);
  buffer[2] = L'\0';
  s.ReleaseBuffer();
  EXPECT_EQ(Text(s), L"wr");
  s.GetBuffer(mw::MeasureText);
  s.ReleaseBuffer(1);
  EXPECT_EQ(Text(s), L"w");
}

TEST(GuardedString, SizesThatWrapAroundAreAllocationFailures) {
  String s(L"keep");
  // 2 x 0x7FFFFFFF + 18 does not fit in 32 bits.
  EXPECT_FALSE(s.SetCapacity(0x7FFFFFFF));
  EXPECT_FALSE(s.Reserve(0xFFFFFFF0));
  EXPECT_FALSE(s.Assign(L"x", 0xFFFFFFF0));
  EXPECT_EQ(Text(s), L"keep");
  EXPECT_EQ(s.GetCapacity(), 64u);
  s.CheckGuards();
}

TEST(GuardedString, AnOutOfMemoryReservationLeavesTheStringUnchanged) {
  if (sizeof(void*) != 4) GTEST_SKIP() << "a 64-bit heap may grant the block";
  String s(L"keep");
  EXPECT_FALSE(s.SetCapacity(0x7FFFFFF0));  // about 4 GB: no 32-bit heap has it
  EXPECT_EQ(Text(s), L"keep");
  s.CheckGuards();
}

using GuardedStringDeathTest = ::testing::Test;

TEST_F(GuardedStringDeathTest, OverwrittenTrailingGuardEndsTheProcessSilently) {
  EXPECT_EXIT(
      {
        String s(L"abc");
        wchar_t* buffer = s.GetBuffer(mw::MeasureText);
        buffer[s.GetCapacity() + 1] = L'!';  // one unit past the terminator slot
        s.Append(L"d");
      },
      ::testing::ExitedWithCode(FailFastExitCode), "^$");
}

TEST_F(GuardedStringDeathTest, DamagedLeadingGuardEndsTheProcessSilently) {
  EXPECT_EXIT(
      {
        String s(L"abc");
        auto* block = reinterpret_cast<std::byte*>(s.GetBuffer(mw::MeasureText)) - mw::TextOffset;
        block[0] = std::byte{0};
        String copy(s);
      },
      ::testing::ExitedWithCode(FailFastExitCode), "^$");
}

TEST_F(GuardedStringDeathTest, ReleaseBufferBeyondCapacityEndsTheProcess) {
  EXPECT_EXIT(
      {
        String s(L"abc");
        s.GetBuffer(mw::MeasureText);
        s.ReleaseBuffer(s.GetCapacity() + 1);
      },
      ::testing::ExitedWithCode(FailFastExitCode), "^$");
}

TEST_F(GuardedStringDeathTest, AppendThatCannotBeAllocatedEndsTheProcess) {
  EXPECT_EXIT(
      {
        String s(L"abc");
        s.Append(L"x", 0xFFFFFFF0);
      },
      ::testing::ExitedWithCode(FailFastExitCode), "^$");
}

}  // namespace
