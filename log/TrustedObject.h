#pragma once

#include <windows.h>

#include "base/ProcessAccount.h"
#include "base/UniqueHolder.h"

// Tests of a file or folder that an elevated launcher is about to write in,
// on a machine where ordinary users may have created or replaced it.

// The account the launcher runs as, read from its own token once.
class LauncherUser {
 public:
  LauncherUser();

  PSID Sid() const { return Account.Sid(); }  // null when the token could not be read
  bool IsAdministrator() const { return Administrator; }

 private:
  ProcessAccount Account;
  bool Administrator = false;
};

// True when the descriptor's owner is SYSTEM, Administrators, TrustedInstaller
// or the launcher's own account: nobody else, since an owner can always
// change what the object allows.
bool IsTrustedOwner(PSECURITY_DESCRIPTOR security, PSID launcherUser);

// The owner part of the security descriptor of an open file or folder; empty
// when it cannot be read.
mw::LocalMemory ReadOwner(HANDLE object);

// True when the open file or folder is exactly at `path`: a junction, mount
// point or symbolic link anywhere on the way makes the two differ.
bool IsAtPath(HANDLE object, const wchar_t* path);
