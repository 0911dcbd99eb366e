#include "tool/ToolPaths.h"

#include "base/ToolFileName.h"

const mw::String ToolSubPath = mw::String(L"installer\\") + ToolFileName;
const mw::String PackageName(L"patch.rvx");
const mw::String OldPackageName(L"patch.rvx.old");
