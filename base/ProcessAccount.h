#pragma once

#include <windows.h>

#include "base/HeapBlock.h"
#include "base/UniqueHolder.h"

// The account this process runs as, read from its own token once.
class ProcessAccount {
 public:
  ProcessAccount();

  PSID Sid() const;  // null when the token could not be read
  // The SID as a text ("S-1-5-..."), in memory of the system's; empty when
  // the token could not be read.
  mw::LocalMemory SidText() const;
  // Whether the process runs with administrative rights: as SYSTEM, or with
  // an administrator's elevated token (in a filtered token the group is
  // deny-only and does not count).
  bool IsAdministrator() const { return Administrator; }

 private:
  HeapBlock UserInformation;  // a TOKEN_USER; the heap aligns it for the SID inside
  bool Administrator = false;
};
