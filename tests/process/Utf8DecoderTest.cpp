#include "process/Utf8Decoder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>
#include <vector>

namespace {

wchar_t Ansi(unsigned char byte) {
  const char single = static_cast<char>(byte);
  wchar_t character = 0;
  return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &single, 1, &character, 1) == 1 ? character : 0xFFFD;
}

// Decodes the reads in order, as a pump does, and finishes at the end.
std::wstring DecodeReads(const std::vector<std::string>& reads) {
  Utf8Decoder decoder;
  std::wstring all;
  std::wstring text;
  for (const auto& read : reads) {
    decoder.Decode(read.data(), read.size(), text);
    all += text;
  }
  decoder.Finish(text);
  return all + text;
}

TEST(Utf8Decoder, AsciiAndZeroBytesPassUnchanged) {
  EXPECT_EQ(DecodeReads({std::string("line 1\r\nnul\0byte\n", 18)}), std::wstring(L"line 1\r\nnul\0byte\n", 18));
}

TEST(Utf8Decoder, CharactersSplitAcrossReadsComeOutWhole) {
  EXPECT_EQ(DecodeReads({"caf\xC3", "\xA9"}), L"caf\u00e9");
  EXPECT_EQ(DecodeReads({"\xE4\xB8", "\xAD", "\xE6\x96\x87"}), L"\u4e2d\u6587");
  // U+1F600 in three reads becomes one surrogate pair.
  EXPECT_EQ(DecodeReads({"\xF0", "\x9F\x98", "\x80!"}), L"\xD83D\xDE00!");
}

TEST(Utf8Decoder, InvalidBytesAreDecodedAloneThroughTheAnsiCodePage) {
  EXPECT_EQ(DecodeReads({"r\xE9sum\xE9"}), std::wstring(L"r") + Ansi(0xE9) + L"sum" + Ansi(0xE9));
  // A sequence broken off by ASCII: its bytes stand alone, the ASCII is kept.
  EXPECT_EQ(DecodeReads({"\xE2\x82", "A"}), std::wstring() + Ansi(0xE2) + Ansi(0x82) + L"A");
  // A new lead byte ends the broken sequence and starts its own.
  EXPECT_EQ(DecodeReads({"\xC3\xC3\xA9"}), std::wstring() + Ansi(0xC3) + L"\u00e9");
}

TEST(Utf8Decoder, OverlongSurrogateAndOutOfRangeFormsAreInvalid) {
  EXPECT_EQ(DecodeReads({"\xC0\x80"}), std::wstring() + Ansi(0xC0) + Ansi(0x80));
  EXPECT_EQ(DecodeReads({"\xE0\x80\xAF"}), std::wstring() + Ansi(0xE0) + Ansi(0x80) + Ansi(0xAF));
  EXPECT_EQ(DecodeReads({"\xED\xA0\x80"}), std::wstring() + Ansi(0xED) + Ansi(0xA0) + Ansi(0x80));
  EXPECT_EQ(DecodeReads({"\xF4\x90\x80\x80"}), std::wstring() + Ansi(0xF4) + Ansi(0x90) + Ansi(0x80) + Ansi(0x80));
  EXPECT_EQ(DecodeReads({"\xFF\xFE"}), std::wstring() + Ansi(0xFF) + Ansi(0xFE));
}

TEST(Utf8Decoder, ASequenceCutByTheEndOfOutputIsStillShown) {
  EXPECT_EQ(DecodeReads({"end \xE2\x82"}), std::wstring(L"end ") + Ansi(0xE2) + Ansi(0x82));
}

TEST(Utf8Decoder, ValidTextSplitAnywhereMatchesTheSystemDecoder) {
  std::mt19937 random(20261207);
  const std::vector<std::wstring> pieces = {L"a", L"\u00e9", L"\u4e2d", L"\U0001F600", L"\r\n", L" ", L"\u0394"};
  for (int round = 0; round < 300; ++round) {
    std::wstring expected;
    for (int i = 0; i < 60; ++i) expected += pieces[random() % pieces.size()];
    const int size = WideCharToMultiByte(CP_UTF8, 0, expected.data(), static_cast<int>(expected.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, expected.data(), static_cast<int>(expected.size()), utf8.data(), size, nullptr,
                        nullptr);
    std::vector<std::string> reads;
    for (std::size_t at = 0; at < utf8.size();) {
      const std::size_t length = 1 + random() % 7;
      reads.push_back(utf8.substr(at, length));
      at += length;
    }
    ASSERT_EQ(DecodeReads(reads), expected) << "round " << round;
  }
}

}  // namespace
