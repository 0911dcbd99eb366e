#include "package/PayloadEntries.h"

#include <algorithm>
#include <cstring>

#include "package/PayloadFormat.h"

namespace {

std::uint64_t ReadLittleEndian(const unsigned char* bytes) {
  std::uint64_t value = 0;
  for (std::size_t at = 8; at != 0; --at) value = (value << 8) | bytes[at - 1];
  return value;
}

// The wide name of one of the format's names; empty for any other.
std::wstring KnownName(const std::string& name) {
  for (const char* known : {PayloadFormat::LauncherName, PayloadFormat::PatchName, PayloadFormat::OldPatchName}) {
    if (name == known) return std::wstring(name.begin(), name.end());
  }
  return {};
}

bool HasEntry(const std::vector<PayloadEntry>& entries, const char* name) {
  const std::wstring wanted = KnownName(name);
  return std::any_of(entries.begin(), entries.end(), [&](const PayloadEntry& entry) { return entry.Name == wanted; });
}

}  // namespace

std::optional<std::vector<PayloadEntry>> ReadEntries(const PackageFile& file, const PayloadLocation& payload) {
  using namespace PayloadFormat;
  std::vector<PayloadEntry> entries;
  const std::uint64_t bodyEnd = payload.BodyOffset + payload.BodySize;
  for (std::uint64_t at = payload.BodyOffset; at != bodyEnd;) {
    unsigned char nameLength = 0;
    if (bodyEnd - at < 1 || !file.ReadAt(at, &nameLength, 1)) return {};
    if (bodyEnd - at - 1 < nameLength + EntryFixedSize - 1) return {};
    std::string name(nameLength, '\0');
    unsigned char fixed[EntryFixedSize - 1];
    if (!file.ReadAt(at + 1, name.data(), name.size()) || !file.ReadAt(at + 1 + nameLength, fixed, sizeof fixed)) {
      return {};
    }

    PayloadEntry entry;
    entry.Name = KnownName(name);
    entry.Method = fixed[0];
    entry.StoredSize = ReadLittleEndian(fixed + 1);
    entry.ExtractedSize = ReadLittleEndian(fixed + 9);
    entry.DataOffset = at + 1 + nameLength + sizeof fixed;
    if (entry.Name.empty() || HasEntry(entries, name.c_str())) return {};
    if (entry.Method != Stored && entry.Method != Zlib) return {};
    if (entry.Method == Stored && entry.StoredSize != entry.ExtractedSize) return {};
    if (entry.StoredSize > bodyEnd - entry.DataOffset) return {};
    at = entry.DataOffset + entry.StoredSize;
    entries.push_back(std::move(entry));
  }
  if (!HasEntry(entries, LauncherName) || !HasEntry(entries, PatchName)) return {};
  return entries;
}
