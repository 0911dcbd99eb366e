#pragma once

#include <windows.h>

// Removing staging folders (package/StagingFolder.h) once nothing uses them.
// The package runs as SYSTEM, and deleting in a temporary folder every user
// can write in is an old way to make SYSTEM delete what a user chose: a
// link planted under the name expected. So only folders of ours are removed,
// only through handles: the folder is opened as itself (a link at its name
// is not followed; one that Wine follows anyway is told by its real path)
// and used only when it is a plain folder with a trusted owner at exactly
// that path; each of the package's three files is opened inside it, through
// its handle, and checked the same way; each goes by its own handle's
// delete disposition. Whatever is in use (the launcher's finisher running
// from its image, a detached tool's working folder or patch), or is not
// ours, stays.

// Removes the staging folder at `path` with the package's files in it. True
// when it is gone.
bool RemoveStagingFolder(const wchar_t* path);

// Removes earlier runs' staging folders in `temp` that nothing uses any
// more: a detached run's once its tool has ended, a run stopped before it
// could clean up.
void RemoveUnusedStagingFolders(const wchar_t* temp);

// Whether `name` is a staging folder's: "ValcrestPatch-" and 32 hex digits.
bool IsStagingFolderName(const wchar_t* name);
