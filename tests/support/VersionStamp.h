#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

struct FileVersion {
  WORD Major;
  WORD Minor;
  WORD Build;
  WORD Revision;
};

// Gives the exe a version resource (RT_VERSION 1, language 0x409) holding a
// VS_VERSIONINFO with only its VS_FIXEDFILEINFO: file and product version
// major.minor.build.revision. Replaces what that resource held before. The
// exe must be linked stripped (-s) for Wine to rewrite it.
bool StampFileVersion(const std::wstring& exePath, WORD major, WORD minor, WORD build, WORD revision);

// Leaves the exe without a version by dropping every resource it has: Wine
// cannot delete a single one (UpdateResourceW without data keeps the old
// resource). Meant for the stand-in tool, which has no other resources.
bool RemoveAllResources(const std::wstring& exePath);

}  // namespace testing_support
