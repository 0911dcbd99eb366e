#include "package/EntryExtraction.h"

#include <zlib.h>

#include <cstdio>

#include "base/HeapBlock.h"
#include "package/PayloadFormat.h"
#include "package/ReadBuffer.h"
#include "package/StagingFolder.h"

namespace {

using Outcome = ExtractionResult::Outcome;

ExtractionResult WriteFailed() { return {Outcome::WriteFailed, GetLastError()}; }

bool WriteAll(HANDLE output, const unsigned char* bytes, std::size_t size) {
  while (size != 0) {
    DWORD written = 0;
    const DWORD piece = static_cast<DWORD>(PieceSize(size));
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

ExtractionResult OutOfMemory() { return {Outcome::WriteFailed, ERROR_NOT_ENOUGH_MEMORY}; }

ExtractionResult CopyStored(const PackageFile& file, const PayloadEntry& entry, HANDLE output) {
  const HeapBlock buffer = AllocateHeapBlock(ReadBufferSize);
  if (!buffer) return OutOfMemory();
  auto* bytes = static_cast<unsigned char*>(buffer.Get());
  for (std::uint64_t done = 0; done < entry.StoredSize;) {
    const std::size_t piece = PieceSize(entry.StoredSize - done);
    if (!file.ReadAt(entry.DataOffset + done, bytes, piece)) return {Outcome::Damaged};
    if (!WriteAll(output, bytes, piece)) return WriteFailed();
    done += piece;
  }
  return {};
}

ExtractionResult Inflate(const PackageFile& file, const PayloadEntry& entry, HANDLE output) {
  Inflation inflation;
  // One block: what was read, then what it inflated to.
  const HeapBlock buffers = AllocateHeapBlock(2 * ReadBufferSize);
  if (!inflation.Ready || !buffers) return OutOfMemory();
  z_stream& stream = inflation.Stream;
  auto* input = static_cast<unsigned char*>(buffers.Get());
  unsigned char* inflated = input + ReadBufferSize;
  std::uint64_t read = 0;
  std::uint64_t written = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (stream.avail_in == 0 && read < entry.StoredSize) {
      const std::size_t piece = PieceSize(entry.StoredSize - read);
      if (!file.ReadAt(entry.DataOffset + read, input, piece)) return {Outcome::Damaged};
      read += piece;
      stream.next_in = input;
      stream.avail_in = static_cast<uInt>(piece);
    }
    stream.next_out = inflated;
    stream.avail_out = static_cast<uInt>(ReadBufferSize);
    status = inflate(&stream, Z_NO_FLUSH);
    // Z_BUF_ERROR here means the stored bytes ended before the stream did.
    if (status != Z_OK && status != Z_STREAM_END) return {Outcome::Damaged};
    const std::size_t produced = ReadBufferSize - stream.avail_out;
    written += produced;
    if (written > entry.ExtractedSize) return {Outcome::Damaged};
    if (!WriteAll(output, inflated, produced)) return WriteFailed();
  }
  if (stream.avail_in != 0 || read != entry.StoredSize || written != entry.ExtractedSize) return {Outcome::Damaged};
  return {};
}

}  // namespace

ExtractionResult ExtractEntry(const PackageFile& file, const PayloadEntry& entry, const wchar_t* folder) {
  // A staging folder's path, a separator and the longest of the format's names.
  constexpr int PathUnits = StagingPathUnits + 32;
  wchar_t path[PathUnits];
  _snwprintf_s(path, PathUnits, _TRUNCATE, L"%ls\\%hs", folder, entry.Name);
  // A new file only: it takes the folder's rights, and nothing that is there
  // already (which nobody but the package could have put there) is written through.
  mw::UniqueFileHandle output(
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output) return WriteFailed();
  return entry.Method == PayloadFormat::Zlib ? Inflate(file, entry, output.Get()) : CopyStored(file, entry, output.Get());
}
