#include "base/PathString.h"

#include <windows.h>

#include "base/SystemLibraries.h"

namespace mw {

PathString::PathString(const wchar_t* text) {
  UseInlineStorage();
  if (text != nullptr) *this = text;
}

PathString::PathString(const String& other) : PathString(other.GetText()) {}

PathString::PathString(const PathString& other) : String() {
  UseInlineStorage();
  String::operator=(other);
}

// Released here, while the inline header and block are still members.
PathString::~PathString() { Release(); }

PathString& PathString::operator=(const PathString& other) {
  String::operator=(other);
  return *this;
}

void PathString::UseInlineStorage() {
  InlineHeader = StringHeader{&StringMemMgr::Instance(), 0, PathUnits, PathUnits, 0, 0};
  Text = WriteFrame(InlineBlock, &InlineHeader, PathUnits);
  Text[0] = L'\0';
}

bool PathString::JoinPath(const wchar_t* component) {
  if (component == nullptr || *component == L'\0') return true;
  const std::uint32_t length = GetLength();
  if (length != 0) {
    const wchar_t last = GetText()[length - 1];
    if (last != L'\\' && last != L'/') Append(L"\\", 1);
  }
  while (*component == L'\\' || *component == L'/') ++component;
  Append(component);
  return true;
}

bool PathString::CreateDirectoryRecursive(const SECURITY_ATTRIBUTES* security) {
  if (SystemLibraries::PathFileExistsW(GetText())) return true;

  PathString parent(*this);
  SystemLibraries::PathRemoveBackslashW(parent.GetBuffer(MeasureText));
  parent.ReleaseBuffer();
  const bool removed = SystemLibraries::PathRemoveFileSpecW(parent.GetBuffer(MeasureText)) != FALSE;
  parent.ReleaseBuffer();
  // Ends at a root or an empty path, where nothing more can be removed.
  if (removed) parent.CreateDirectoryRecursive();

  if (CreateDirectoryW(GetText(), const_cast<SECURITY_ATTRIBUTES*>(security))) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace mw
