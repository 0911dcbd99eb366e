#pragma once

#include <windows.h>

#include <string>

#include "base/UniqueHolder.h"

// Two patching tools changing one product's files at once can leave it half
// patched. A patch run is therefore marked, system-wide, by a named mutex
// that exists from just before a launcher starts its tool until that tool
// has ended and the run's end is written (the run's finisher holds it too).
// The mutex is never owned or waited on: its existence is the mark.
//
// Where the mark lives, and which mark found there blocks a run, is said here
// and only here. A run with administrative rights keeps it in a private
// namespace whose boundary is the Administrators group: only SYSTEM and
// Administrators can make names there, so what is found is a run's of ours.
// Elsewhere (a run without those rights; Wine, which lacks private
// namespaces) it is the global name below, opened without following a link,
// and a mutex found there is a run's only when its owner is trusted and its
// access list grants nobody else anything. A link, another kind of object or
// anyone else's mutex of that name does not block patching.
inline constexpr wchar_t PatchRunMutexName[] = L"Global\\Mendora.Launcher.PatchRun";

enum class PatchRunClaim {
  Marked,            // this run holds the mark
  AnotherRunMarked,  // a run of ours holds it: start no tool
  Unmarked,          // no mark could be made, or the name is not ours; a warning is logged
};

class PatchRunMutex {
 public:

  // Creates the mark, owned by the launcher's own account with a protected
  // access list (SYSTEM, Administrators, that account), or finds it there and
  // judges it as above. Another run's mark is waited for, looked
  // for again every quarter second, at most `waitMs`; a line on standard
  // output says so once the wait has lasted two seconds. Logs when the wait
  // begins and ends, the 1618 line naming the holder's owner, and every warning.
  PatchRunClaim Claim(DWORD waitMs);

  // Gives the started tool handles of its own, so the mark lasts as long as
  // the tool does.
  void HandTo(HANDLE toolProcess) const;

  // While this run holds the mark: the mutex, and the private namespace that
  // holds it (null for the global name), which must be held as long: the run's
  // finisher holds both until the run's end is written. Null otherwise.
  HANDLE Handle() const { return Mutex.Get(); }
  HANDLE Place() const { return Namespace.Get(); }

 private:
  // One try; for AnotherRunMarked, `holder` names the mark's owner.
  PatchRunClaim TryClaim(std::wstring& holder);
  bool OpenNamespace();
  PatchRunClaim ClaimInNamespace(SECURITY_ATTRIBUTES& attributes, std::wstring& holder);
  PatchRunClaim ClaimGlobally(SECURITY_ATTRIBUTES& attributes, PSID ownAccount, std::wstring& holder);

  static void CloseNamespace(HANDLE place) { ClosePrivateNamespace(place, 0); }

  // Closed in the reverse order: the mutex, then its namespace, then the boundary.
  mw::UniqueHolder<mw::NullEmptyTraits<HANDLE, &DeleteBoundaryDescriptor>> Boundary;
  mw::UniqueHolder<mw::NullEmptyTraits<HANDLE, &CloseNamespace>> Namespace;
  mw::UniqueHandle Mutex;  // empty unless Marked; closed when the run returns
};
