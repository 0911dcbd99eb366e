#include "package/PayloadDigest.h"

#include <wincrypt.h>

#include <cstring>

#include "base/HeapBlock.h"
#include "package/ReadBuffer.h"

namespace {

struct CryptProviderTraits {
  using Type = HCRYPTPROV;
  static Type Empty() { return 0; }
  static bool IsEmpty(Type value) { return value == 0; }
  static void Close(Type value) { CryptReleaseContext(value, 0); }
};

struct CryptHashTraits {
  using Type = HCRYPTHASH;
  static Type Empty() { return 0; }
  static bool IsEmpty(Type value) { return value == 0; }
  static void Close(Type value) { CryptDestroyHash(value); }
};

}  // namespace

bool BodyMatchesDigest(const PackageFile& file, const PayloadLocation& payload) {
  HCRYPTPROV providerValue = 0;
  // The AES provider is the one that has SHA-256; no key is needed.
  if (!CryptAcquireContextW(&providerValue, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return false;
  const mw::UniqueHolder<CryptProviderTraits> provider(providerValue);
  HCRYPTHASH hashValue = 0;
  if (!CryptCreateHash(provider.Get(), CALG_SHA_256, 0, 0, &hashValue)) return false;
  const mw::UniqueHolder<CryptHashTraits> hash(hashValue);

  const HeapBlock buffer = AllocateHeapBlock(ReadBufferSize);
  if (!buffer) return false;
  auto* bytes = static_cast<unsigned char*>(buffer.Get());
  for (std::uint64_t done = 0; done < payload.BodySize;) {
    const std::size_t piece = PieceSize(payload.BodySize - done);
    if (!file.ReadAt(payload.BodyOffset + done, bytes, piece) ||
        !CryptHashData(hash.Get(), bytes, static_cast<DWORD>(piece), 0)) {
      return false;
    }
    done += piece;
  }

  unsigned char digest[PayloadFormat::DigestSize] = {};
  DWORD length = sizeof digest;
  return CryptGetHashParam(hash.Get(), HP_HASHVAL, digest, &length, 0) && length == sizeof digest &&
         std::memcmp(digest, payload.Digest, sizeof digest) == 0;
}
