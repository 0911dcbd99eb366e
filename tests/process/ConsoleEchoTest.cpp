#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <iterator>
#include <random>
#include <string>

#include "tests/programs/Utf8Text.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/ScratchFiles.h"

namespace {

using namespace std::string_literals;
using testing_support::BinaryFolder;
using testing_support::ProgramRequest;
using testing_support::ReadFileBytes;
using testing_support::RunProgram;
using testing_support::ScratchFolder;
using testing_support::WriteFileBytes;

// The echo writes each read in one call where the launcher's wide stream
// wrote it a character at a time; a pipe or a file must receive the same
// bytes either way, but for two faults of the stream that the echo does not
// share (U+FFFF, and a surrogate pair at the end of its buffer). The two
// paths are run on the same input by EchoHelper.
class ConsoleEchoTest : public testing::Test {
 protected:
  // What the helper wrote through `path` ("stream" or "echo"): to its pipe,
  // or with `toFile` to a file.
  std::string Echoed(const std::string& input, const wchar_t* path, const std::wstring& sizes, bool toFile) {
    EXPECT_TRUE(WriteFileBytes(Input, input));
    ProgramRequest request;
    request.Program = BinaryFolder() + L"EchoHelper.exe";
    request.Arguments = L"\"" + Input + L"\" " + path + L" " + sizes;
    if (toFile) request.Arguments += L" \"" + Output + L"\"";
    const auto result = RunProgram(request);
    EXPECT_TRUE(result.Started) << result.StartError;
    EXPECT_EQ(result.ExitCode, 0u);
    return toFile ? ReadFileBytes(Output) : result.Stdout;
  }

  // Reads of the pumps' size, reads that split every sequence, and reads
  // that leave a sequence's first byte at the end of a full one.
  void ExpectSameBytes(const std::string& input, const char* name,
                       std::initializer_list<const wchar_t*> readSizes = {L"4090", L"1,2,3,5,7", L"4096,1"}) {
    for (const wchar_t* sizes : readSizes) {
      for (const bool toFile : {false, true}) {
        const std::string throughStream = Echoed(input, L"stream", sizes, toFile);
        const std::string throughEcho = Echoed(input, L"echo", sizes, toFile);
        EXPECT_GT(throughStream.size(), input.size()) << name;
        EXPECT_TRUE(throughEcho == throughStream)
            << name << ", reads of " << programs::ToUtf8(sizes) << (toFile ? ", file" : ", pipe");
      }
    }
  }

  ScratchFolder Folder{L"echo"};
  const std::wstring Input = Folder / L"input.bin";
  const std::wstring Output = Folder / L"output.txt";
};

TEST_F(ConsoleEchoTest, LineEndsZeroBytesAndOrderWithConsoleLines) {
  for (const bool toFile : {false, true}) {
    EXPECT_EQ(Echoed("a\nb\0c\r"s, L"echo", L"1", toFile), "first line\r\naunflushed \r\nb\0c\rlast line\r\n"s);
  }
  ExpectSameBytes("plain\nCR\rCRLF\r\nLFCR\n\r\n\n\0zero\0\0"s, "line ends and zero bytes");
}

TEST_F(ConsoleEchoTest, ValidInvalidAndCutSequences) {
  ExpectSameBytes(
      "caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80 \xEF\xBF\xBD\n"  // valid, up to surrogate pairs
      "\xC3( \xE2\x82 \x80\xBF \xC0\x80 \xE0\x80\xAF \xED\xA0\x80 \xF4\x90\x80\x80 \xF8\xFE\xFF \xE9\n"  // invalid
      "cut at the end \xF0\x9F\x98",
      "sequences");
}

std::string RandomUtf8(std::mt19937& random, bool withSurrogatePairs) {
  const char32_t ranges[][2] = {{0x20, 0x7E}, {0xA0, 0x2FF}, {0x4E00, 0x9FFF}, {0xE000, 0xFFFD}, {0x1F300, 0x1F6FF}};
  const std::size_t rangeCount = std::size(ranges) - (withSurrogatePairs ? 0 : 1);
  std::string text;
  while (text.size() < 30000) {
    const auto& range = ranges[random() % rangeCount];
    const char32_t point = range[0] + random() % (range[1] - range[0] + 1);
    if (random() % 16 == 0) text += "\r\n\0"[random() % 3];
    if (point < 0x80) {
      text += static_cast<char>(point);
    } else if (point < 0x800) {
      text += {static_cast<char>(0xC0 | point >> 6), static_cast<char>(0x80 | (point & 0x3F))};
    } else if (point < 0x10000) {
      text += {static_cast<char>(0xE0 | point >> 12), static_cast<char>(0x80 | (point >> 6 & 0x3F)),
               static_cast<char>(0x80 | (point & 0x3F))};
    } else {
      text += {static_cast<char>(0xF0 | point >> 18), static_cast<char>(0x80 | (point >> 12 & 0x3F)),
               static_cast<char>(0x80 | (point >> 6 & 0x3F)), static_cast<char>(0x80 | (point & 0x3F))};
    }
  }
  return text;
}

TEST_F(ConsoleEchoTest, RandomTextAndRandomBytes) {
  std::mt19937 random(20240611);
  ExpectSameBytes(RandomUtf8(random, false), "random text");
  // The stream keeps a surrogate pair whole only while it does not straddle
  // the end of its buffer (see the next test): short reads only.
  ExpectSameBytes(RandomUtf8(random, true), "random text with surrogate pairs", {L"1,2,3,5,7"});

  std::string bytes(30000, '\0');
  for (char& byte : bytes) {
    byte = static_cast<char>(random());
    // No four-byte sequences, for the same reason.
    if (byte >= '\xF0' && byte <= '\xF4') byte = '\xF8';
  }
  // U+FFFF reads as the wide stream's end-of-file value: the stream stops there.
  ASSERT_EQ(bytes.find("\xEF\xBF\xBF"), std::string::npos);
  ExpectSameBytes(bytes, "random bytes");
}

// The C runtime converts its 4 KB buffer on its own, so a pair that
// straddles its end came out as two U+FFFD; the echo keeps it whole.
TEST_F(ConsoleEchoTest, ASurrogatePairAtTheEndOfTheStreamsBufferStaysWhole) {
  const std::string text = std::string(2047, 'a') + "\xF0\x9F\x98\x80" + "b";
  for (const bool toFile : {false, true}) {
    EXPECT_TRUE(Echoed(text, L"echo", L"4090", toFile) == "first line\r\n" + text + "last line\r\n") << toFile;
  }
}

}  // namespace
