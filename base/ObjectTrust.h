#pragma once

#include <windows.h>

#include "base/UniqueHolder.h"

// Whom a program running with administrative rights lets change what it
// runs or writes: SYSTEM, Administrators, TrustedInstaller and the account
// it runs as. Anybody else who could change such an object could use it
// against the program. Under Wine every file reads back as owned by the
// running account, so these rules are shown on descriptors built as data.

// Rights that change what runs from a file, or from the folder that holds
// it: write and append (for a folder: add a file or a subfolder), delete,
// delete a child, and rewrite the access list or the owner.
inline constexpr ACCESS_MASK RightsToChangeContents =
    FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;
// Rights on a folder further up that take a path away: delete the folder or
// a child, rewrite its access list or owner. Adding a subfolder, which
// Windows' own C:\ lets every user do, changes nothing below.
inline constexpr ACCESS_MASK RightsToChangePath = DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;

// The owner part of the security descriptor of an open file or folder; empty
// when it cannot be read.
mw::LocalMemory ReadOwner(HANDLE object);

// SYSTEM, Administrators, TrustedInstaller, or `ownAccount` (may be null).
bool IsTrustedAccount(PSID sid, PSID ownAccount);

// True when the descriptor's owner is a trusted account: nobody else, since
// an owner can always change what the object allows.
bool IsTrustedOwner(PSECURITY_DESCRIPTOR security, PSID ownAccount);

// Who, besides the trusted accounts, may change the object with any of
// `rights`: its owner when that is not trusted, else the first account an
// allowing entry grants one of them (generic rights mapped as a file's;
// entries that only pass on to children do not count); Everyone for a
// descriptor without an owner or without an access list. Null when nobody
// else may. The SID lives as long as `security`, or for ever for Everyone.
PSID UntrustedChanger(PSECURITY_DESCRIPTOR security, PSID ownAccount, ACCESS_MASK rights);
