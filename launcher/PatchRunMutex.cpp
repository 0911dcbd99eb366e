#include "launcher/PatchRunMutex.h"

#include <aclapi.h>
#include <sddl.h>
#include <winternl.h>

#include <iostream>
#include <string>
#include <utility>

#include "base/HandleDuplicate.h"
#include "base/NtStatusError.h"
#include "base/ObjectTrust.h"
#include "base/ProcessAccount.h"
#include "base/ToolFileName.h"
#include "launcher/ConsoleLine.h"
#include "log/Log.h"

extern "C" NTSTATUS NTAPI NtCreateMutant(PHANDLE mutant, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                         BOOLEAN initialOwner);

namespace {

constexpr wchar_t NamespaceName[] = L"Mendora.Launcher";
constexpr wchar_t MutexInNamespace[] = L"Mendora.Launcher\\PatchRun";
// The global name as the object manager knows it: "Global\" is \BaseNamedObjects.
constexpr wchar_t GlobalMutexPath[] = L"\\BaseNamedObjects\\Mendora.Launcher.PatchRun";

constexpr NTSTATUS NameExisted = static_cast<NTSTATUS>(0x40000000);     // STATUS_OBJECT_NAME_EXISTS
constexpr NTSTATUS NotAMutex = static_cast<NTSTATUS>(0xC0000024);       // STATUS_OBJECT_TYPE_MISMATCH
constexpr ACCESS_MASK MutexAccess = READ_CONTROL | SYNCHRONIZE;

// An explicit owner, because the default one differs between systems (a
// group under Wine, Administrators for an elevated token on Windows), and the
// owner is what a second launcher judges. "P": nothing inherited, so every
// elevated launcher, and this account, can open it.
mw::LocalMemory MutexSecurity(PSID launcherUser) {
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

std::wstring SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) return L"unknown";
  const mw::LocalMemory heldText(text);
  return text;
}

// The owner and access list of a mark found there; empty when unreadable.
mw::LocalMemory ReadDescriptor(HANDLE mutex) {
  PSECURITY_DESCRIPTOR found = nullptr;
  if (GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                      nullptr, nullptr, nullptr, &found) != ERROR_SUCCESS) {
    return {};
  }
  return mw::LocalMemory(found);
}

std::wstring OwnerText(PSECURITY_DESCRIPTOR security) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (security == nullptr || !GetSecurityDescriptorOwner(security, &owner, &defaulted)) return L"unknown";
  return SidText(owner);
}

PatchRunClaim NotCreated(DWORD error) {
  WriteLog(L"[WARNING] Could not create %s, error: %d - running without it.", PatchRunMutexName,
           static_cast<int>(error));
  return PatchRunClaim::Unmarked;
}

}  // namespace

PatchRunClaim PatchRunMutex::Claim(DWORD waitMs) {
  std::wstring holder;
  PatchRunClaim claim = TryClaim(holder);
  if (claim == PatchRunClaim::AnotherRunMarked && waitMs != 0) {
    WriteLog(L"[INFO] Another patch is being applied: %s exists, made by %s - "
             L"waiting for it to end, at most %d seconds.",
             PatchRunMutexName, holder.c_str(), static_cast<int>(waitMs / 1000));
    constexpr DWORD LookAgainMs = 250;
    constexpr DWORD QuietMs = 2000;
    const ULONGLONG start = GetTickCount64();
    bool said = false;
    for (ULONGLONG waited = 0; claim == PatchRunClaim::AnotherRunMarked && waited < waitMs;
         waited = GetTickCount64() - start) {
      // A person at a console learns why nothing happens; a short wait passes unremarked.
      if (!said && waited >= QuietMs) {
        WriteConsoleLine(std::wcout, (L"Another patch is being applied: waiting for it to end, at most " +
                                      std::to_wstring(waitMs / 1000) + L" seconds.")
                                         .c_str());
        said = true;
      }
      Sleep(LookAgainMs);
      claim = TryClaim(holder);
    }
    if (claim != PatchRunClaim::AnotherRunMarked) {
      WriteLog(L"[INFO] The other patch run ended after %d seconds - this run goes on.",
               static_cast<int>((GetTickCount64() - start) / 1000));
    }
  }
  if (claim == PatchRunClaim::AnotherRunMarked) {
    WriteLog(L"[ERROR] Another patch is being applied: %s exists, made by %s - %s is not started.",
             PatchRunMutexName, holder.c_str(), ToolFileName);
  }
  return claim;
}

PatchRunClaim PatchRunMutex::TryClaim(std::wstring& holder) {
  const ProcessAccount account;
  const mw::LocalMemory security = MutexSecurity(account.Sid());
  if (!security) {
    WriteLog(L"[WARNING] Could not build the security descriptor of %s, error: %d - running without it.",
             PatchRunMutexName, static_cast<int>(GetLastError()));
    return PatchRunClaim::Unmarked;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security.Get(), FALSE};
  if (account.IsAdministrator() && OpenNamespace()) return ClaimInNamespace(attributes, holder);
  return ClaimGlobally(attributes, account.Sid(), holder);
}

bool PatchRunMutex::OpenNamespace() {
  if (Namespace) return true;
  if (Boundary) return false;
  // Load bearing: the boundary first. Where the system has no private
  // namespaces it fails here, before any call that such a system lacks.
  HANDLE boundary = CreateBoundaryDescriptorW(NamespaceName, 0);
  if (boundary == nullptr) return false;
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  const bool bounded = CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
                       AddSIDToBoundaryDescriptor(&boundary, administrators);
  // Kept either way: a boundary that could not be made is not tried again.
  Boundary.Reset(boundary);
  if (!bounded) return false;
  mw::LocalMemory security;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1,
                                                           &descriptor, nullptr)) {
    security.Reset(descriptor);
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security.Get(), FALSE};
  HANDLE place = CreatePrivateNamespaceW(&attributes, Boundary.Get(), NamespaceName);
  if (place == nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    place = OpenPrivateNamespaceW(Boundary.Get(), NamespaceName);
  }
  Namespace.Reset(place);
  return static_cast<bool>(Namespace);
}

PatchRunClaim PatchRunMutex::ClaimInNamespace(SECURITY_ATTRIBUTES& attributes, std::wstring& holder) {
  // Never owned: a launcher or tool that ends abandons nothing, and nobody waits on it.
  mw::UniqueHandle mutex(CreateMutexExW(&attributes, MutexInNamespace, 0, MutexAccess));
  const DWORD error = GetLastError();
  if (!mutex) return NotCreated(error);
  // Only SYSTEM and Administrators can make a name here: what is found is a run's.
  if (error == ERROR_ALREADY_EXISTS) {
    holder = OwnerText(ReadDescriptor(mutex.Get()).Get());
    return PatchRunClaim::AnotherRunMarked;
  }
  Mutex = std::move(mutex);
  return PatchRunClaim::Marked;
}

PatchRunClaim PatchRunMutex::ClaimGlobally(SECURITY_ATTRIBUTES& attributes, PSID ownAccount,
                                            std::wstring& holder) {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, GlobalMutexPath);
  OBJECT_ATTRIBUTES object;
  // OBJ_OPENLINK: a link at the name is found as itself, never followed to
  // a mutex that a trusted account made for something else.
  InitializeObjectAttributes(&object, &name, OBJ_OPENIF | OBJ_OPENLINK, nullptr, attributes.lpSecurityDescriptor);
  HANDLE handle = nullptr;
  const NTSTATUS status = NtCreateMutant(&handle, MutexAccess, &object, FALSE);
  if (status == NotAMutex) {
    WriteLog(L"[WARNING] %s is a link or another kind of object, not a mark of ours - running without it.",
             PatchRunMutexName);
    return PatchRunClaim::Unmarked;
  }
  if (status < 0) return NotCreated(NtStatusError(status));
  mw::UniqueHandle mutex(handle);
  if (status != NameExisted) {
    Mutex = std::move(mutex);
    return PatchRunClaim::Marked;
  }
  // Anybody can make a mutex of this name first; only one that nobody but a
  // trusted account could have made and can change is a run's of ours.
  const mw::LocalMemory found = ReadDescriptor(mutex.Get());
  if (const PSID other = UntrustedChanger(found.Get(), ownAccount, ~ACCESS_MASK{0}); other != nullptr) {
    WriteLog(L"[WARNING] %s is not a mark of ours: %s owns it or may use it - running without it.",
             PatchRunMutexName, SidText(other).c_str());
    return PatchRunClaim::Unmarked;
  }
  holder = OwnerText(found.Get());
  return PatchRunClaim::AnotherRunMarked;
}

void PatchRunMutex::HandTo(HANDLE toolProcess) const {
  if (!Mutex) return;
  // The tool gets handles of its own, so the mark lasts until the tool has
  // ended, also after this launcher has: the system closes them when the
  // tool's process ends. This is safe and goes unnoticed by the tool:
  // nothing tells it the handles' values or the mutex's name, they are not
  // inheritable (what the tool starts does not keep the mark), and as nobody
  // ever owns the mutex it never blocks and is never abandoned. The tool's
  // only trace is one or two more entries in its handle table.
  for (const HANDLE held : {Mutex.Get(), Namespace.Get()}) {
    if (held == nullptr) continue;
    if (DuplicateInto(toolProcess, held, 0, false) != nullptr) continue;
    const DWORD error = GetLastError();
    // A tool that has already ended needs no mark; one that runs keeps it only
    // as long as this launcher does.
    if (WaitForSingleObject(toolProcess, 0) == WAIT_TIMEOUT) {
      WriteLog(L"[WARNING] Could not hand %s to %s, error: %d.", PatchRunMutexName, ToolFileName,
               static_cast<int>(error));
    }
    return;
  }
}
