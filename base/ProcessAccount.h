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

 private:
  HeapBlock UserInformation;  // a TOKEN_USER; the heap aligns it for the SID inside
};
