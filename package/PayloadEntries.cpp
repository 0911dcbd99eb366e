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

bool HasEntry(const PayloadEntries& entries, const char* name) {
  for (std::size_t index = 0; index < entries.Count; ++index) {
    if (std::strcmp(entries.Entries[index].Name, name) == 0) return true;
  }
  return false;
}

}  // namespace

bool ReadEntries(const PackageFile& file, const PayloadLocation& payload, PayloadEntries& entries) {
  using namespace PayloadFormat;
  entries.Count = 0;
  const std::uint64_t bodyEnd = payload.BodyOffset + payload.BodySize;
  for (std::uint64_t at = payload.BodyOffset; at != bodyEnd;) {
    unsigned char nameLength = 0;
    if (bodyEnd - at < 1 || !file.ReadAt(at, &nameLength, 1)) return false;
    if (bodyEnd - at - 1 < nameLength + EntryFixedSize - 1) return false;
    char name[255];
    unsigned char fixed[EntryFixedSize - 1];
    if (!file.ReadAt(at + 1, name, nameLength) || !file.ReadAt(at + 1 + nameLength, fixed, sizeof fixed)) {
      return false;
    }

    PayloadEntry entry;
    entry.Name = KnownName(name, nameLength);
    entry.Method = fixed[0];
    entry.StoredSize = ReadLittleEndian(fixed + 1);
    entry.ExtractedSize = ReadLittleEndian(fixed + 9);
    entry.DataOffset = at + 1 + nameLength + sizeof fixed;
    // Each name at most once, so a known name always finds a free place.
    if (entry.Name == nullptr || HasEntry(entries, entry.Name)) return false;
    if (entry.Method != Stored && entry.Method != Zlib) return false;
    if (entry.Method == Stored && entry.StoredSize != entry.ExtractedSize) return false;
    if (entry.StoredSize > bodyEnd - entry.DataOffset) return false;
    at = entry.DataOffset + entry.StoredSize;
    entries.Entries[entries.Count++] = entry;
  }
  return HasEntry(entries, LauncherName) && HasEntry(entries, PatchName);
}
