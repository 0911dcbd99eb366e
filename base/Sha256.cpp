#include "base/Sha256.h"

#include "base/NtStatusError.h"

Sha256::~Sha256() {
  if (Hash != nullptr) Library.DestroyHash(Hash);
}

DWORD Sha256::Start() {
  if (Algorithm.OpenError() != 0) return Algorithm.OpenError();
  DWORD objectSize = 0;
  ULONG written = 0;
  if (const DWORD error = NtStatusError(Library.GetProperty(Algorithm.Get(), BCRYPT_OBJECT_LENGTH,
                                                       reinterpret_cast<PUCHAR>(&objectSize), sizeof objectSize,
                                                       &written, 0))) {
    return error;
  }
  HashObject = AllocateHeapBlock(objectSize);
  if (!HashObject) return ERROR_NOT_ENOUGH_MEMORY;
  return NtStatusError(Library.CreateHash(Algorithm.Get(), &Hash, static_cast<PUCHAR>(HashObject.Get()), objectSize,
                                     nullptr, 0, 0));
}

DWORD Sha256::Add(const void* bytes, std::size_t size) {
  if (Hash == nullptr) return ERROR_INVALID_HANDLE;
  auto* at = static_cast<PUCHAR>(const_cast<void*>(bytes));
  while (size != 0) {
    const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
    if (const DWORD error = NtStatusError(Library.HashData(Hash, at, piece, 0))) return error;
    at += piece;
    size -= piece;
  }
  return 0;
}

DWORD Sha256::Finish(unsigned char (&digest)[Sha256Size]) {
  if (Hash == nullptr) return ERROR_INVALID_HANDLE;
  return NtStatusError(Library.FinishHash(Hash, digest, sizeof digest, 0));
}

DWORD Sha256OfFile(HANDLE file, unsigned char (&digest)[Sha256Size]) {
  constexpr DWORD PieceSize = 256 * 1024;
  Sha256 hash;
  const HeapBlock piece = AllocateHeapBlock(PieceSize);
  if (!piece) return ERROR_NOT_ENOUGH_MEMORY;
  if (const DWORD error = hash.Start()) return error;
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, piece.Get(), PieceSize, &read, nullptr)) return GetLastError();
    if (read == 0) return hash.Finish(digest);
    if (const DWORD error = hash.Add(piece.Get(), read)) return error;
  }
}
