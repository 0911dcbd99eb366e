#pragma once

#include "base/GuardedString.h"
#include "base/UniqueHandle.h"

// State shared by the run sequence and the output pumps for the whole process.
// The two flags are written on the main thread before any pump starts and only
// read afterwards, so they need no lock.

// Unnamed manual-reset event: set on the detach marker, or by the main thread
// when its wait ends other than by the tool's exit.
extern mw::UniqueHandle DetachEvent;
extern bool DetachRequested;
extern bool WriteToolOutput;

extern const mw::String ToolSubPath;
extern const mw::String PackageName;
extern const mw::String OldPackageName;
