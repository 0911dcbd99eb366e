#include "package/EntryExtraction.h"

#include <zlib.h>

#include "base/HeapBlock.h"
#include "package/PayloadFormat.h"
#include "package/ReadBuffer.h"

namespace {

StepResult WriteAll(HANDLE output, const unsigned char* bytes, std::size_t size) {
  while (size != 0) {
    DWORD written = 0;
    const DWORD piece = static_cast<DWORD>(PieceSize(size));
    if (!WriteFile(output, bytes, piece, &written, nullptr)) {
      return StepResult::Failed(StepResult::Step::WriteFile, GetLastError());
    }
    bytes += written;
    size -= written;
  }
  return {};
}

StepResult OutOfMemory() { return StepResult::Failed(StepResult::Step::WriteFile, ERROR_NOT_ENOUGH_MEMORY); }

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

StepResult CopyStored(PayloadStream& stream, const PayloadEntry& entry, HANDLE output) {
  for (std::uint64_t left = entry.StoredSize; left != 0;) {
    const unsigned char* bytes = nullptr;
    std::size_t count = 0;
    if (StepResult taken = stream.Take(PieceSize(left), bytes, count); !taken.IsDone()) return taken;
    if (StepResult written = WriteAll(output, bytes, count); !written.IsDone()) return written;
    left -= count;
  }
  return {};
}

StepResult Inflate(PayloadStream& stream, const PayloadEntry& entry, HANDLE output) {
  Inflation inflation;
  const HeapBlock buffer = AllocateHeapBlock(ReadBufferSize);
  if (!inflation.Ready || !buffer) return OutOfMemory();
  z_stream& zlib = inflation.Stream;
  auto* inflated = static_cast<unsigned char*>(buffer.Get());
  std::uint64_t storedLeft = entry.StoredSize;
  std::uint64_t written = 0;
  for (int status = Z_OK; status != Z_STREAM_END;) {
    if (zlib.avail_in == 0) {
      // The stored bytes ended before the stream did.
      if (storedLeft == 0) return StepResult::Damaged();
      const unsigned char* bytes = nullptr;
      std::size_t count = 0;
      if (StepResult taken = stream.Take(PieceSize(storedLeft), bytes, count); !taken.IsDone()) return taken;
      storedLeft -= count;
      zlib.next_in = const_cast<unsigned char*>(bytes);
      zlib.avail_in = static_cast<uInt>(count);
    }
    zlib.next_out = inflated;
    zlib.avail_out = static_cast<uInt>(ReadBufferSize);
    status = inflate(&zlib, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) return StepResult::Damaged();
    const std::size_t produced = ReadBufferSize - zlib.avail_out;
    // Checked before writing: a stream that runs over its size writes
    // nothing beyond it.
    if (produced > entry.ExtractedSize - written) return StepResult::Damaged();
    if (StepResult done = WriteAll(output, inflated, produced); !done.IsDone()) return done;
    written += produced;
  }
  // Nothing may follow the stream's end, and it must have filled the size.
  if (zlib.avail_in != 0 || storedLeft != 0 || written != entry.ExtractedSize) return StepResult::Damaged();
  return {};
}

}  // namespace

StepResult ExtractEntry(PayloadStream& stream, const PayloadEntry& entry, HANDLE output) {
  return entry.Method == PayloadFormat::Zlib ? Inflate(stream, entry, output) : CopyStored(stream, entry, output);
}
