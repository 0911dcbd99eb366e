#include "log/LogFolder.h"

#include <sddl.h>

#include <string>

#include "base/FinalPath.h"
#include "base/ObjectTrust.h"

namespace {

// SYSTEM and Administrators full control, Users read and execute, for the
// folder and what is created in it; "P": nothing is inherited from the parent,
// whose rights let every user add files.
constexpr wchar_t ProtectedFolderSecurity[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

}  // namespace

mw::LocalMemory LogFolderSecurity(PSID launcherUser, bool administrator) {
  std::wstring text = ProtectedFolderSecurity;
  if (!administrator) {
    wchar_t* sid = nullptr;
    if (launcherUser == nullptr || !ConvertSidToStringSidW(launcherUser, &sid)) return {};
    const mw::LocalMemory heldSid(sid);
    text += std::wstring(L"(A;OICI;FA;;;") + sid + L")";
  }
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &security, nullptr)) {
    return {};
  }
  return mw::LocalMemory(security);
}

bool IsUsableLogFolder(DWORD attributes, PSECURITY_DESCRIPTOR security, PSID launcherUser) {
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  return IsTrustedOwner(security, launcherUser);
}

mw::UniqueFileHandle OpenLogFolder(mw::PathString& folder, const ProcessAccount& user) {
  const mw::LocalMemory security = LogFolderSecurity(user.Sid(), user.IsAdministrator());
  if (!security) return {};
  // Protected in the very call that creates it: the folder never exists with
  // the parent's rights, not even for a moment.
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security.Get(), FALSE};
  folder.CreateDirectoryRecursive(&attributes);

  // Load bearing: FILE_FLAG_OPEN_REPARSE_POINT opens a junction or link
  // itself instead of what it points to, so its attributes give it away; and
  // without FILE_SHARE_DELETE nobody can rename or delete the folder while the
  // handle is open, so no link can take its name before the log file is
  // created through this handle.
  mw::UniqueFileHandle handle(CreateFileW(folder.GetText(),
                                          FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return {};

  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handle.Get(), &information)) return {};
  const mw::LocalMemory owner = ReadOwner(handle.Get());
  if (!IsUsableLogFolder(information.dwFileAttributes, owner.Get(), user.Sid())) return {};
  // Wine follows links even when asked not to; where the handle really is
  // tells a link on any part of the path, there and on Windows.
  if (!IsAtPath(handle.Get(), folder.GetText())) return {};
  return handle;
}
