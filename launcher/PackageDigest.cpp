#include "launcher/PackageDigest.h"

#include "base/Sha256.h"
#include "base/UniqueHolder.h"

std::wstring PackageSha256(const wchar_t* path, mw::UniqueFileHandle& file, DWORD& error) {
  // Read before the tool is started: nobody may change it meanwhile, anybody may read it.
  file.Reset(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                         nullptr));
  unsigned char digest[Sha256Size];
  error = file ? Sha256OfFile(file.Get(), digest) : GetLastError();
  if (error != 0) return {};
  constexpr wchar_t Digits[] = L"0123456789abcdef";
  std::wstring text;
  for (const unsigned char byte : digest) {
    text.push_back(Digits[byte >> 4]);
    text.push_back(Digits[byte & 0x0F]);
  }
  return text;
}
