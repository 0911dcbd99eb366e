#include "launcher/PackageDigest.h"

#include <vector>

#include "base/Sha256.h"
#include "base/UniqueHolder.h"

namespace {

constexpr DWORD PieceSize = 64 * 1024;

std::wstring LowercaseHex(const unsigned char (&digest)[Sha256Size]) {
  constexpr wchar_t Digits[] = L"0123456789abcdef";
  std::wstring text;
  for (const unsigned char byte : digest) {
    text.push_back(Digits[byte >> 4]);
    text.push_back(Digits[byte & 0x0F]);
  }
  return text;
}

}  // namespace

std::wstring PackageSha256(const wchar_t* path, DWORD& error) {
  // The tool reads the package meanwhile: nobody may change it, anybody may read it.
  const mw::UniqueFileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    error = GetLastError();
    return {};
  }
  Sha256 hash;
  if ((error = hash.Start()) != 0) return {};
  std::vector<unsigned char> piece(PieceSize);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), piece.data(), PieceSize, &read, nullptr)) {
      error = GetLastError();
      return {};
    }
    if (read == 0) break;
    if ((error = hash.Add(piece.data(), read)) != 0) return {};
  }
  unsigned char digest[Sha256Size];
  if ((error = hash.Finish(digest)) != 0) return {};
  return LowercaseHex(digest);
}
