#pragma once

#include <string>

#include "base/GuardedString.h"

// The patching tool's file version; comparisons are lexicographic on
// (Major, Minor, Build, Revision). A version that could not be read keeps
// -1 in every part: it shows as such in the log, is too old for detach, and
// never selects the old package or the output echo.
struct ToolVersion {
  int Major = -1;
  int Minor = -1;
  int Build = -1;
  int Revision = -1;
  bool ReadOk = false;
};

ToolVersion ReadToolVersion(const mw::String& toolPath);

// "Major.Minor.Build.Revision" in decimal.
std::wstring FormatToolVersion(const ToolVersion& version);

bool ShouldWriteToolOutput(const ToolVersion& version);
bool IsDetachSupported(const ToolVersion& version);
bool UsesOldPackage(const ToolVersion& version);
