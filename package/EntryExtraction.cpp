#include "package/EntryExtraction.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "package/PayloadFormat.h"
#include "package/ReadBuffer.h"

namespace {

using Outcome = ExtractionResult::Outcome;

ExtractionResult WriteFailed() { return {Outcome::WriteFailed, GetLastError()}; }

bool WriteAll(HANDLE output, const unsigned char* bytes, std::size_t size) {
  while (size != 0) {
    DWORD written = 0;
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, ReadBufferSize));
    if (!WriteFile(output, bytes, piece, &written, nullptr)) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

// zlib's stream, ended on every way out.
class Inflation {
 public:
  Inflation() { Ready = inflateInit(&Stream) == Z_OK; }
  ~Inflation() {
    if (Ready) inflateEnd(&Stream);
  }
  Inflation(const Inflation&) = delete;
  Inflation& operator=(const Inflation&) = delete;

  z_stream Stream{};
  bool Ready = false;
};

ExtractionResult CopyStored(const PackageFile& file, const PayloadEntry& entry, HANDLE output) {
  std::vector<unsigned char> buffer(ReadBufferSize);
  for (std::uint64_t done = 0; done < entry.StoredSize;) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), entry.StoredSize - done));
    if (!file.ReadAt(entry.DataOffset + done, buffer.data(), piece)) return {Outcome::Damaged};
    if (!WriteAll(output, buffer.data(), piece)) return WriteFailed();
    done += piece;
  }
  return {};
}

ExtractionResult Inflate(const PackageFile& file, const PayloadEntry& entry, HANDLE output) {
  Inflation inflation;
  if (!inflation.Ready) return {Outcome::WriteFailed, ERROR_NOT_ENOUGH_MEMORY};
  z_stream& stream = inflation.Stream;
  std::vector<unsigned char> input(ReadBufferSize);
  std::vector<unsigned char> inflated(ReadBufferSize);
  std::uint64_t read = 0;
  std::uint64_t written = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (stream.avail_in == 0 && read < entry.StoredSize) {
      const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(input.size(), entry.StoredSize - read));
      if (!file.ReadAt(entry.DataOffset + read, input.data(), piece)) return {Outcome::Damaged};
      read += piece;
      stream.next_in = input.data();
      stream.avail_in = static_cast<uInt>(piece);
    }
    stream.next_out = inflated.data();
    stream.avail_out = static_cast<uInt>(inflated.size());
    status = inflate(&stream, Z_NO_FLUSH);
    // Z_BUF_ERROR here means the stored bytes ended before the stream did.
    if (status != Z_OK && status != Z_STREAM_END) return {Outcome::Damaged};
    const std::size_t produced = inflated.size() - stream.avail_out;
    written += produced;
    if (written > entry.ExtractedSize) return {Outcome::Damaged};
    if (!WriteAll(output, inflated.data(), produced)) return WriteFailed();
  }
  if (stream.avail_in != 0 || read != entry.StoredSize || written != entry.ExtractedSize) return {Outcome::Damaged};
  return {};
}

}  // namespace

ExtractionResult ExtractEntry(const PackageFile& file, const PayloadEntry& entry, const std::wstring& folder) {
  const std::wstring path = folder + L"\\" + entry.Name;
  // A new file only: it takes the folder's rights, and nothing that is there
  // already (which nobody but the package could have put there) is written through.
  mw::UniqueFileHandle output(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output) return WriteFailed();
  return entry.Method == PayloadFormat::Zlib ? Inflate(file, entry, output.Get()) : CopyStored(file, entry, output.Get());
}
