#pragma once

#include <windows.h>

#include "base/UniqueHolder.h"

// Two patching tools changing one product's files at once can leave it half
// patched. A patch run is therefore marked, system-wide, by a named mutex
// that exists from just before a launcher starts its tool until that tool
// has ended, also when the launcher itself ended first (detach, time-out).
// The mutex is never owned or waited on: its existence is the mark.
inline constexpr wchar_t PatchRunMutexName[] = L"Global\\Mendora.Launcher.PatchRun";

enum class PatchRunClaim {
  Marked,            // this run holds the mark
  AnotherRunMarked,  // the mark is there, made by a trusted account: start no tool
  Unmarked,          // no mark could be made, or a stranger made it; a warning is logged
};

class PatchRunMarker {
 public:
  // Creates the mutex, owned by the launcher's own account with a protected
  // access list (SYSTEM, Administrators, that account), or finds it there and
  // judges it by its owner, as the log folder is judged: only SYSTEM,
  // Administrators, TrustedInstaller or the launcher's account can mark a
  // run. Anyone else's mutex of that name does not block patching.
  PatchRunClaim Claim();

  // Gives the started tool a handle of its own, so the mark lasts as long as
  // the tool does.
  void HandTo(HANDLE toolProcess) const;

  // The mutex while this run holds the mark, else null: the run's finisher
  // holds it too, until the run's end is written.
  HANDLE Handle() const { return Mutex.Get(); }

 private:
  mw::UniqueHandle Mutex;  // empty unless Marked; closed when the run returns
};
