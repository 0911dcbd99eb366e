#pragma once

#include "base/GuardedString.h"

// The patching tool under the installation folder, and the packages beside
// the launcher.
extern const mw::String ToolSubPath;
extern const mw::String PackageName;
extern const mw::String OldPackageName;
