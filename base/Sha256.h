#pragma once

#include <windows.h>

#include <cstddef>

#include "base/CngLibrary.h"
#include "base/HeapBlock.h"

inline constexpr std::size_t Sha256Size = 32;

// A SHA-256 digest computed by CNG, piece by piece. Every call returns 0 or
// the Windows error of what failed: CNG that cannot be loaded from the
// system folder, a hash that cannot be made, memory.
class Sha256 {
 public:
  Sha256() = default;
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  DWORD Start();
  DWORD Add(const void* bytes, std::size_t size);
  // The digest of everything added; the hash cannot take more after it.
  DWORD Finish(unsigned char (&digest)[Sha256Size]);

 private:
  CngLibrary Library;
  CngAlgorithm Algorithm{Library, BCRYPT_SHA256_ALGORITHM};
  HeapBlock HashObject;  // Vista's CNG keeps the hash's state in memory of the caller's
  BCRYPT_HASH_HANDLE Hash = nullptr;
};

// The SHA-256 of what `file` (open for reading) holds from its current
// position to its end, read in pieces of a fixed size: 0, or the Windows
// error of the read or the hash.
DWORD Sha256OfFile(HANDLE file, unsigned char (&digest)[Sha256Size]);
