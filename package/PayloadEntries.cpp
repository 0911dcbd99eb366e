#include "package/PayloadEntries.h"

#include <cstring>

#include "package/PayloadFormat.h"

namespace {

std::uint64_t ReadLittleEndian(const unsigned char* bytes) {
  std::uint64_t value = 0;
  for (std::size_t at = 8; at != 0; --at) value = (value << 8) | bytes[at - 1];
  return value;
}

// The format's own name that `name` spells in full; null for any other.
const char* KnownName(const char* name, std::size_t length) {
  static constexpr const char* Names[] = {PayloadFormat::LauncherName, PayloadFormat::PatchName,
                                          PayloadFormat::OldPatchName};
  for (const char* known : Names) {
    if (std::strlen(known) == length && std::memcmp(name, known, length) == 0) return known;
  }
  return nullptr;
}

}  // namespace

bool PayloadEntries::Met(const char* name) const {
  for (std::size_t index = 0; index < Count; ++index) {
    if (std::strcmp(Names[index], name) == 0) return true;
  }
  return false;
}

StepResult PayloadEntries::ReadNext(PayloadStream& stream, PayloadEntry& entry) {
  using namespace PayloadFormat;
  unsigned char nameLength = 0;
  char name[255];
  unsigned char fixed[EntryFixedSize];
  if (StepResult read = stream.Read(&nameLength, 1); !read.IsDone()) return read;
  if (StepResult read = stream.Read(name, nameLength); !read.IsDone()) return read;
  if (StepResult read = stream.Read(fixed, sizeof fixed); !read.IsDone()) return read;

  entry.Name = KnownName(name, nameLength);
  entry.Method = fixed[0];
  entry.StoredSize = ReadLittleEndian(fixed + 1);
  entry.ExtractedSize = ReadLittleEndian(fixed + 9);
  // Each name at most once, so a known name always finds a free place.
  if (entry.Name == nullptr || Met(entry.Name)) return StepResult::Damaged();
  if (entry.Method != Stored && entry.Method != Zlib) return StepResult::Damaged();
  if (entry.Method == Stored && entry.StoredSize != entry.ExtractedSize) return StepResult::Damaged();
  if (entry.StoredSize > stream.Left() || entry.ExtractedSize > ExtractedLeft) return StepResult::Damaged();
  ExtractedLeft -= entry.ExtractedSize;
  Names[Count++] = entry.Name;
  return {};
}

StepResult PayloadEntries::CheckComplete() const {
  if (ExtractedLeft != 0 || !Met(PayloadFormat::LauncherName) || !Met(PayloadFormat::PatchName)) {
    return StepResult::Damaged();
  }
  return {};
}
