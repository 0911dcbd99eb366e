#pragma once

#include <cstddef>
#include <cstdint>

#include "package/PayloadStream.h"
#include "package/StepResult.h"

// One file of the payload: its name in the staging folder (one of
// PayloadFormat's names), how it is stored and its sizes.
struct PayloadEntry {
  const char* Name = nullptr;
  unsigned char Method = 0;
  std::uint64_t StoredSize = 0;
  std::uint64_t ExtractedSize = 0;
};

// The entries' headers as they come out of the stream, each checked against
// the ones before it and against the seal, so that bytes not yet proven by
// the digest can never make the package write more than the seal allows.
class PayloadEntries {
 public:
  explicit PayloadEntries(std::uint64_t sealedExtractedSize) : ExtractedLeft(sealedExtractedSize) {}

  // The next header: Damaged unless its name is one of the format's that no
  // earlier entry has, its method is known, its stored bytes fit in what is
  // left of the payload, a stored entry's sizes are equal, and its extracted
  // size fits in what the seal leaves.
  StepResult ReadNext(PayloadStream& stream, PayloadEntry& entry);

  // Once the payload is read: Damaged unless the extracted sizes added up to
  // the seal's, and the launcher and patch.rvx were among the entries.
  StepResult CheckComplete() const;

 private:
  bool Met(const char* name) const;

  static constexpr std::size_t MostEntries = 3;
  const char* Names[MostEntries] = {};
  std::size_t Count = 0;
  std::uint64_t ExtractedLeft;
};
