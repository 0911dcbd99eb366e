#include "launcher/ToolFileNames.h"

const mw::String ToolSubPath(L"installer\\rivlet.exe");
const mw::String PackageName(L"patch.rvx");
const mw::String OldPackageName(L"patch.rvx.old");
