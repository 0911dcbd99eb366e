#pragma once

#include <windows.h>

#include "base/UniqueHolder.h"

// Tests of a file or folder that an elevated launcher is about to write in,
// on a machine where ordinary users may have created or replaced it: who
// counts as trusted is base/ObjectTrust.h's, where a file really is
// base/FinalPath.h's.

// The owner part of the security descriptor of an open file or folder; empty
// when it cannot be read.
mw::LocalMemory ReadOwner(HANDLE object);
