#include "package/PackageArguments.h"

#include <cwchar>

const wchar_t* PackageArguments(const wchar_t* commandLine) {
  if (commandLine == nullptr) return L"";
  const wchar_t* at = commandLine;
  if (*at == L'"') {
    at = std::wcschr(at + 1, L'"');
    if (at == nullptr) return L"";
    ++at;
  } else {
    while (*at != L'\0' && *at != L' ' && *at != L'\t') ++at;
  }
  while (*at == L' ' || *at == L'\t') ++at;
  return at;
}
