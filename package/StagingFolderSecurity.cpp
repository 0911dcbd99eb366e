#include "package/StagingFolderSecurity.h"

#include <sddl.h>

#include <cstdio>

mw::LocalMemory StagingFolderDescriptor(const wchar_t* account) {
  if (account == nullptr || *account == L'\0') return {};
  // A SID text has at most 15 sub-authorities of 10 digits: far below this.
  constexpr int SddlUnits = 512;
  wchar_t sddl[SddlUnits];
  if (_snwprintf_s(sddl, SddlUnits, _TRUNCATE, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;%ls)", account) < 0) {
    return {};
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return {};
  return mw::LocalMemory(descriptor);
}
