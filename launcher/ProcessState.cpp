#include "launcher/ProcessState.h"

mw::UniqueHandle DetachEvent;
bool DetachRequested = false;
bool WriteToolOutput = false;

const mw::String ToolSubPath(L"installer\\rivlet.exe");
const mw::String PackageName(L"patch.rvx");
const mw::String OldPackageName(L"patch.rvx.old");
