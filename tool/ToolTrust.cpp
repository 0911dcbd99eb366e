#include "tool/ToolTrust.h"

#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "base/FinalPath.h"
#include "base/ObjectTrust.h"
#include "base/ToolFileName.h"
#include "base/UniqueHolder.h"
#include "log/Log.h"

namespace {

// "NAME (S-1-...)", or the SID alone when it has no name here.
std::wstring AccountText(PSID sid) {
  wchar_t* sidText = nullptr;
  if (!ConvertSidToStringSidW(sid, &sidText)) return L"an unreadable account";
  const mw::LocalMemory heldSid(sidText);
  wchar_t name[256];
  wchar_t domain[256];
  DWORD nameSize = static_cast<DWORD>(std::size(name));
  DWORD domainSize = static_cast<DWORD>(std::size(domain));
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) return sidText;
  const std::wstring account = domainSize != 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name);
  return account + L" (" + sidText + L")";
}

// "C:\" or "\\server\share\": where the walk up stops.
std::size_t RootLength(const std::wstring& path) {
  if (!path.starts_with(L"\\\\")) return path.size() >= 3 ? 3 : path.size();
  std::size_t found = 1;
  for (int separator = 0; separator < 2 && found != std::wstring::npos; ++separator) {
    found = path.find(L'\\', found + 1);
  }
  return found == std::wstring::npos ? path.size() : found + 1;
}

DWORD Judge(HANDLE object, const std::wstring& path, ACCESS_MASK rights, PSID ownAccount) {
  PSECURITY_DESCRIPTOR read = nullptr;
  const DWORD error = GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, nullptr, nullptr, &read);
  if (error != ERROR_SUCCESS) {
    WriteLog(L"[ERROR] Could not read who may change %s, error: %d - %s is not started.", path.c_str(),
             static_cast<int>(error), ToolFileName);
    return error;
  }
  const mw::LocalMemory security(read);
  const PSID other = UntrustedChanger(security.Get(), ownAccount, rights);
  if (other == nullptr) return 0;
  WriteLog(L"[ERROR] %s may be changed by %s, who is not trusted - %s is not started.", path.c_str(),
           AccountText(other).c_str(), ToolFileName);
  return ERROR_ACCESS_DENIED;
}

}  // namespace

DWORD CheckToolTrust(HANDLE toolFile, DWORD openError, const ProcessAccount& account) {
  if (!account.IsAdministrator()) {
    WriteLog(L"[INFO] The launcher has no administrative rights: who may change %s and its folders is not checked.",
             ToolFileName);
    return 0;
  }
  HeapBlock finalPath;
  const DWORD pathError = toolFile != nullptr ? FinalPathOf(toolFile, finalPath)
                          : openError != 0  ? openError
                                            : ERROR_INVALID_HANDLE;
  if (pathError != 0) {
    WriteLog(L"[ERROR] Could not open %s to check who may change it, error: %d.", ToolFileName,
             static_cast<int>(pathError));
    return pathError;
  }
  const std::wstring path = static_cast<const wchar_t*>(finalPath.Get());
  // The path of the file held open, links resolved: the folders checked
  // are the ones it really lies in.
  if (const DWORD error = Judge(toolFile, path, RightsToChangeContents, account.Sid())) return error;
  const std::size_t root = RootLength(path);
  std::wstring folder = path;
  for (ACCESS_MASK rights = RightsToChangeContents; folder.size() > root; rights = RightsToChangePath) {
    const std::size_t cut = folder.rfind(L'\\');
    if (cut == std::wstring::npos || cut + 1 < root) break;
    folder.resize(cut + 1 == root ? root : cut);
    const mw::UniqueFileHandle opened(CreateFileW(folder.c_str(), READ_CONTROL,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!opened) {
      const DWORD error = GetLastError();
      WriteLog(L"[ERROR] Could not open %s to check who may change it, error: %d - %s is not started.",
               folder.c_str(), static_cast<int>(error), ToolFileName);
      return error;
    }
    if (const DWORD error = Judge(opened.Get(), folder, rights, account.Sid())) return error;
  }
  return 0;
}
