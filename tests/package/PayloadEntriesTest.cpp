#include "package/PayloadEntries.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "package/PackageFile.h"
#include "package/PayloadFormat.h"
#include "tests/support/ScratchFiles.h"

namespace {

// One entry's header; its stored bytes, none here, would follow it.
std::string Header(const char* name, std::uint64_t extractedSize) {
  std::string header(1, static_cast<char>(std::strlen(name)));
  header += name;
  header += static_cast<char>(PayloadFormat::Zlib);
  for (const std::uint64_t size : {std::uint64_t{0}, extractedSize}) {
    for (int shift = 0; shift < 64; shift += 8) header += static_cast<char>((size >> shift) & 0xFF);
  }
  return header;
}

// The payload is written as it is read, before its digest can prove it, so
// each header is held to what the seal leaves after the ones before it: what
// the entries would write can never exceed what the seal allows.
TEST(PayloadEntries, EachEntryMayExtractOnlyWhatTheSealLeaves) {
  constexpr std::uint64_t Sealed = 10;
  const struct {
    std::uint64_t First;
    std::uint64_t Second;
    StepResult::Kind SecondRead;
  } rows[] = {
      {6, 4, StepResult::Kind::Done},
      {6, 5, StepResult::Kind::Damaged},  // within the seal's total, beyond what the first left
      {0, 11, StepResult::Kind::Damaged},
  };
  testing_support::ScratchFolder scratch(L"entries");
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.First) + " then " + std::to_string(row.Second));
    const std::string payload =
        Header(PayloadFormat::LauncherName, row.First) + Header(PayloadFormat::PatchName, row.Second);
    const std::wstring path = scratch / L"payload";
    ASSERT_TRUE(testing_support::WriteFileBytes(path, payload));
    PackageFile file;
    ASSERT_EQ(file.Open(path.c_str()), 0u);
    PayloadStream stream(file, 0, payload.size());
    ASSERT_TRUE(stream.Start().IsDone());
    PayloadEntries entries(Sealed);
    PayloadEntry entry;
    ASSERT_TRUE(entries.ReadNext(stream, entry).IsDone());
    EXPECT_EQ(entries.ReadNext(stream, entry).What, row.SecondRead);
  }
}

}  // namespace
