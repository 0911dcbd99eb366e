#include "base/Sha256.h"

#include <gtest/gtest.h>

#include <string>

#include "base/HexText.h"

namespace {

std::wstring Hex(const unsigned char (&digest)[Sha256Size]) {
  wchar_t text[2 * Sha256Size + 1];
  WriteHex(digest, Sha256Size, HexCase::Lower, text);
  return text;
}

// The standard's own examples, the second one added in two pieces that split
// a 64-byte block, as the package adds what it reads.
TEST(Sha256, GivesTheStandardsDigestsHoweverTheBytesArePieced) {
  struct Row {
    std::string Text;
    std::size_t FirstPiece;
    const wchar_t* Digest;
  };
  const Row rows[] = {
      {"", 0, L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", 3, L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 50,
       L"248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Text);
    Sha256 hash;
    ASSERT_EQ(hash.Start(), 0u);
    ASSERT_EQ(hash.Add(row.Text.data(), row.FirstPiece), 0u);
    ASSERT_EQ(hash.Add(row.Text.data() + row.FirstPiece, row.Text.size() - row.FirstPiece), 0u);
    unsigned char digest[Sha256Size] = {};
    ASSERT_EQ(hash.Finish(digest), 0u);
    EXPECT_EQ(Hex(digest), row.Digest);
  }
}

}  // namespace
