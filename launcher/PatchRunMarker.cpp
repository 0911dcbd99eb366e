#include "launcher/PatchRunMarker.h"

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <utility>

#include "log/Log.h"
#include "log/TrustedObject.h"

namespace {

// An explicit owner, because the default one differs between systems (a
// group under Wine, Administrators for an elevated token on Windows), and the
// owner is what a second launcher judges. "P": nothing inherited, so every
// elevated launcher, and this account, can open it.
mw::LocalMemory MarkerSecurity(PSID launcherUser) {
  wchar_t* sid = nullptr;
  if (launcherUser == nullptr || !ConvertSidToStringSidW(launcherUser, &sid)) return {};
  const mw::LocalMemory heldSid(sid);
  const std::wstring text =
      std::wstring(L"O:") + sid + L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;" + sid + L")";
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &security, nullptr)) {
    return {};
  }
  return mw::LocalMemory(security);
}

// The owner as a SID text for the log; "unknown" when it cannot be read.
std::wstring OwnerText(PSECURITY_DESCRIPTOR security) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  wchar_t* text = nullptr;
  if (security == nullptr || !GetSecurityDescriptorOwner(security, &owner, &defaulted) || owner == nullptr ||
      !ConvertSidToStringSidW(owner, &text)) {
    return L"unknown";
  }
  const mw::LocalMemory heldText(text);
  return text;
}

}  // namespace

PatchRunClaim PatchRunMarker::Claim() {
  const LauncherUser user;
  const mw::LocalMemory security = MarkerSecurity(user.Sid());
  if (!security) {
    WriteLog(L"[WARNING] Could not build the security descriptor of %s, error: %d - running without it.",
             PatchRunMutexName, static_cast<int>(GetLastError()));
    return PatchRunClaim::Unmarked;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security.Get(), FALSE};
  // Never owned: a launcher or tool that ends abandons nothing, and nobody waits on it.
  mw::UniqueHandle mutex(CreateMutexExW(&attributes, PatchRunMutexName, 0, READ_CONTROL | SYNCHRONIZE));
  const DWORD error = GetLastError();
  if (!mutex) {
    WriteLog(L"[WARNING] Could not create %s, error: %d - running without it.", PatchRunMutexName,
             static_cast<int>(error));
    return PatchRunClaim::Unmarked;
  }
  if (error != ERROR_ALREADY_EXISTS) {
    Mutex = std::move(mutex);
    return PatchRunClaim::Marked;
  }

  PSECURITY_DESCRIPTOR found = nullptr;
  const DWORD readError = GetSecurityInfo(mutex.Get(), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, nullptr,
                                          nullptr, nullptr, nullptr, &found);
  const mw::LocalMemory foundSecurity(readError == ERROR_SUCCESS ? found : nullptr);
  if (IsTrustedOwner(foundSecurity.Get(), user.Sid())) return PatchRunClaim::AnotherRunMarked;
  // Anybody can create a mutex of this name first; theirs must not stop patching.
  WriteLog(L"[WARNING] %s is owned by %s, not by a trusted account - running without it.", PatchRunMutexName,
           OwnerText(foundSecurity.Get()).c_str());
  return PatchRunClaim::Unmarked;
}

void PatchRunMarker::HandTo(HANDLE toolProcess) const {
  if (!Mutex) return;
  // The tool gets a handle of its own, so the mark lasts until the tool has
  // ended, also after this launcher has: the system closes the handle when
  // the tool's process ends. This is safe and goes unnoticed by the tool:
  // nothing tells it the handle's value or the mutex's name, the handle is
  // not inheritable (what the tool starts does not keep the mark), and as
  // nobody ever owns the mutex it never blocks and is never abandoned. The
  // tool's only trace is one more entry in its handle table.
  HANDLE inTool = nullptr;
  if (DuplicateHandle(GetCurrentProcess(), Mutex.Get(), toolProcess, &inTool, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return;
  }
  const DWORD error = GetLastError();
  // A tool that has already ended needs no mark; one that runs keeps it only
  // as long as this launcher does.
  if (WaitForSingleObject(toolProcess, 0) == WAIT_TIMEOUT) {
    WriteLog(L"[WARNING] Could not hand %s to rivlet.exe, error: %d.", PatchRunMutexName, static_cast<int>(error));
  }
}
