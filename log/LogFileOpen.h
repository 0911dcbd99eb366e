#pragma once

#include <windows.h>

#include <cstdio>

#include "base/UniqueHolder.h"
#include "base/ProcessAccount.h"

// Creates the log file `name` in the folder held by `folder` (from
// OpenLogFolder), or opens it for appending when it exists already, and
// returns it as a UTF-8 text stream (a byte-order mark starts an empty file,
// "\n" is written as CR LF). Other processes may read it while it is open,
// but not write it. An existing file is used only when it is a plain file
// with one name, owned by a trusted account; and the file must be at exactly
// `path`. Null otherwise, or when it cannot be opened.
std::FILE* OpenLogFileIn(HANDLE folder, const wchar_t* name, const wchar_t* path, const ProcessAccount& user);

// Whether the launcher may append to a log file with these attributes, this
// many names and this owner: a plain file with one name that this run
// created, or that a trusted account owns.
bool IsUsableLogFile(DWORD attributes, DWORD links, PSECURITY_DESCRIPTOR owner, bool createdByThisRun,
                     PSID launcherUser);

// The log's UTF-8 text stream over an open file handle, which it then owns
// ("\n" is written as CR LF, every write appends); null, with the handle
// still held, when the stream cannot be made.
std::FILE* LogStreamOver(mw::UniqueHandle& file);
