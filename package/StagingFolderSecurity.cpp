#include "package/StagingFolderSecurity.h"

#include <sddl.h>

#include <cstdio>

mw::LocalMemory StagingFolderDescriptor(const wchar_t* account, bool administrator) {
  // A SID text has at most 15 sub-authorities of 10 digits: far below this.
  constexpr int SddlUnits = 512;
  wchar_t sddl[SddlUnits];
  constexpr wchar_t Administrators[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  // No write up, for the folder and what is made in it.
  constexpr wchar_t HighLabel[] = L"S:(ML;OICI;NW;;;HI)";
  if (administrator) {
    if (_snwprintf_s(sddl, SddlUnits, _TRUNCATE, L"%ls%ls", Administrators, HighLabel) < 0) return {};
  } else {
    if (account == nullptr || *account == L'\0') return {};
    if (_snwprintf_s(sddl, SddlUnits, _TRUNCATE, L"%ls(A;OICI;FA;;;%ls)", Administrators, account) < 0) return {};
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return {};
  return mw::LocalMemory(descriptor);
}
