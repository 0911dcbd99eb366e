#pragma once

#include "base/GuardedString.h"
#include "process/PumpControl.h"

// The run's constant names; DetachEvent, DetachRequested and WriteToolOutput
// live with the output pumps that read them.
extern const mw::String ToolSubPath;
extern const mw::String PackageName;
extern const mw::String OldPackageName;
