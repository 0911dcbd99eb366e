#pragma once

#include <cstddef>
#include <cstdint>

#include "base/HeapBlock.h"
#include "base/Sha256.h"
#include "package/PackageFile.h"
#include "package/PayloadFormat.h"
#include "package/StepResult.h"

// The payload, read once from the front to the back in bounded pieces, each
// piece hashed as it is read: the bytes extracted are the bytes hashed, and
// a network share cannot serve other ones a second time. Nothing read here
// is trusted until Finish has compared the digest with the seal's.
class PayloadStream {
 public:
  PayloadStream(const PackageFile& file, std::uint64_t offset, std::uint64_t size);

  // The buffer and the hash; Failed when memory or CNG is missing.
  StepResult Start();

  std::uint64_t Left() const { return Size - Taken; }

  // Exactly `size` bytes into `bytes`; Damaged when fewer are left.
  StepResult Read(void* bytes, std::size_t size);
  // The next bytes where they lie in the stream's buffer: at least one and
  // at most `most`; Damaged when none are left.
  StepResult Take(std::size_t most, const unsigned char*& bytes, std::size_t& count);

  // Once everything is taken: Damaged unless the payload's SHA-256 is `digest`.
  StepResult Finish(const unsigned char (&digest)[PayloadFormat::DigestSize]);

 private:
  StepResult Refill();

  const PackageFile& File;
  const std::uint64_t Offset;
  const std::uint64_t Size;
  std::uint64_t Taken = 0;     // handed out
  std::uint64_t Buffered = 0;  // read from the file into the buffer
  HeapBlock Buffer;
  std::size_t BufferStart = 0;
  std::size_t BufferEnd = 0;
  Sha256 Hash;
};
