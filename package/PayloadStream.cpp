#include "package/PayloadStream.h"

#include <cstring>

#include "package/ReadBuffer.h"

PayloadStream::PayloadStream(const PackageFile& file, std::uint64_t offset, std::uint64_t size)
    : File(file), Offset(offset), Size(size) {}

StepResult PayloadStream::Start() {
  Buffer = AllocateHeapBlock(ReadBufferSize);
  if (!Buffer) return StepResult::Failed(StepResult::Step::ReadPackage, ERROR_NOT_ENOUGH_MEMORY);
  if (const DWORD error = Hash.Start()) return StepResult::Failed(StepResult::Step::ComputeDigest, error);
  return {};
}

StepResult PayloadStream::Refill() {
  const std::size_t piece = PieceSize(Size - Buffered);
  auto* bytes = static_cast<unsigned char*>(Buffer.Get());
  if (const StepResult read = File.ReadAt(Offset + Buffered, bytes, piece); !read.IsDone()) return read;
  if (const DWORD error = Hash.Add(bytes, piece)) return StepResult::Failed(StepResult::Step::ComputeDigest, error);
  Buffered += piece;
  BufferStart = 0;
  BufferEnd = piece;
  return {};
}

StepResult PayloadStream::Take(std::size_t most, const unsigned char*& bytes, std::size_t& count) {
  if (most == 0 || Taken == Size) return StepResult::Damaged();
  if (BufferStart == BufferEnd) {
    if (const StepResult refilled = Refill(); !refilled.IsDone()) return refilled;
  }
  count = BufferEnd - BufferStart < most ? BufferEnd - BufferStart : most;
  bytes = static_cast<const unsigned char*>(Buffer.Get()) + BufferStart;
  BufferStart += count;
  Taken += count;
  return {};
}

StepResult PayloadStream::Read(void* bytes, std::size_t size) {
  if (size > Left()) return StepResult::Damaged();
  auto* at = static_cast<unsigned char*>(bytes);
  while (size != 0) {
    const unsigned char* piece = nullptr;
    std::size_t count = 0;
    if (const StepResult taken = Take(size, piece, count); !taken.IsDone()) return taken;
    std::memcpy(at, piece, count);
    at += count;
    size -= count;
  }
  return {};
}

StepResult PayloadStream::Finish(const unsigned char (&digest)[PayloadFormat::DigestSize]) {
  if (Taken != Size) return StepResult::Damaged();
  unsigned char computed[Sha256Size] = {};
  if (const DWORD error = Hash.Finish(computed)) return StepResult::Failed(StepResult::Step::ComputeDigest, error);
  return std::memcmp(computed, digest, sizeof computed) == 0 ? StepResult{} : StepResult::Damaged();
}
