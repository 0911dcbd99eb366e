#include "base/SystemRandom.h"

#include "base/CngLibrary.h"
#include "base/NtStatusError.h"

DWORD FillWithSystemRandom(void* bytes, std::size_t size) {
  const CngLibrary library;
  // The generator by its algorithm name: Vista has no system-preferred one.
  const CngAlgorithm generator(library, BCRYPT_RNG_ALGORITHM);
  if (generator.OpenError() != 0) return generator.OpenError();
  return NtStatusError(library.GenRandom(generator.Get(), static_cast<PUCHAR>(bytes), static_cast<ULONG>(size), 0));
}
