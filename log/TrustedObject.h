#pragma once

#include <windows.h>

#include "base/UniqueHolder.h"

// Tests of a file or folder that an elevated launcher is about to write in,
// on a machine where ordinary users may have created or replaced it; who
// counts as trusted is base/ObjectTrust.h's.

// The owner part of the security descriptor of an open file or folder; empty
// when it cannot be read.
mw::LocalMemory ReadOwner(HANDLE object);

// True when the open file or folder is exactly at `path`: a junction, mount
// point or symbolic link anywhere on the way makes the two differ.
bool IsAtPath(HANDLE object, const wchar_t* path);
