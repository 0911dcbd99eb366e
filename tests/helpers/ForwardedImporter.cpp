// Imports a CryptoAPI function of ADVAPI32 statically, as the package's
// program once did: Windows forwards it to cryptsp.dll, outside the Known
// DLLs, which scripts/check-hardening must refuse.

#include <windows.h>

#include <wincrypt.h>

int main() {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return 1;
  CryptReleaseContext(provider, 0);
  return 0;
}
