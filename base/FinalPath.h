#pragma once

#include <windows.h>

#include "base/HeapBlock.h"

// Where an open file or folder really is, links on the way resolved, as a
// plain DOS path ("C:\...", "\\server\share\...") in `path`, a block long
// enough for any path: 0, or the system's error.
DWORD FinalPathOf(HANDLE object, HeapBlock& path);

// True when the open file or folder is exactly at `path` (made full first;
// letters compared without case): a junction, mount point or symbolic link
// anywhere on the way makes the two differ, also where the system follows a
// link it was asked to open as itself (Wine).
bool IsAtPath(HANDLE object, const wchar_t* path);
