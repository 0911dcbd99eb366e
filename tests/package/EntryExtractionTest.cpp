#include "package/EntryExtraction.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <string>

#include "base/UniqueHolder.h"
#include "package/PayloadFormat.h"
#include "tests/support/ScratchFiles.h"

namespace {

// The payload is written as it is read, before its digest can prove it: an
// entry that inflates beyond the size it declares (a file put in the
// package's place, a packer fault) must not write more than that size,
// whatever it would fill the disk with.
TEST(EntryExtraction, NeverWritesMoreThanTheEntryDeclares) {
  testing_support::ScratchFolder scratch(L"extract");
  const std::string inflated(4 << 20, 'x');
  uLongf storedSize = compressBound(static_cast<uLong>(inflated.size()));
  std::string stored(storedSize, '\0');
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(stored.data()), &storedSize,
                      reinterpret_cast<const Bytef*>(inflated.data()), static_cast<uLong>(inflated.size()), 9),
            Z_OK);
  stored.resize(storedSize);
  ASSERT_TRUE(testing_support::WriteFileBytes(scratch / L"payload", stored));

  const std::wstring payloadPath = scratch / L"payload";
  PackageFile file;
  ASSERT_EQ(file.Open(payloadPath.c_str()), 0u);
  PayloadStream stream(file, 0, stored.size());
  ASSERT_TRUE(stream.Start().IsDone());
  const PayloadEntry entry{PayloadFormat::PatchName, PayloadFormat::Zlib, stored.size(), 1000};
  const std::wstring outputPath = scratch / L"patch.rvx";
  {
    const mw::UniqueFileHandle output(
        CreateFileW(outputPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(output);
    EXPECT_EQ(ExtractEntry(stream, entry, output.Get()).What, StepResult::Kind::Damaged);
  }
  EXPECT_LE(testing_support::ReadFileBytes(outputPath).size(), 1000u);
}

}  // namespace
