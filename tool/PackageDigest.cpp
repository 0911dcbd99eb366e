#include "tool/PackageDigest.h"

#include "base/HexText.h"
#include "base/Sha256.h"
#include "base/UniqueHolder.h"

std::wstring PackageSha256(const wchar_t* path, mw::UniqueFileHandle& file, DWORD& error) {
  // Read before the tool is started: nobody may change it meanwhile, anybody may read it.
  file.Reset(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                         nullptr));
  unsigned char digest[Sha256Size];
  error = file ? Sha256OfFile(file.Get(), digest) : GetLastError();
  if (error != 0) return {};
  wchar_t text[2 * Sha256Size + 1];
  WriteHex(digest, Sha256Size, HexCase::Lower, text);
  return text;
}
