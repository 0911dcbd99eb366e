#pragma once

#include <string>

#include "base/GuardedString.h"
#include "base/PathString.h"
#include "base/UniqueHolder.h"
#include "options/OptionSet.h"

struct ToolInvocation {
  mw::PathString ToolPath;
  // The tool's file, held from when it was found until the tool has started,
  // others sharing it only to read: the file whose version is read and whose
  // rights are checked is the file that runs. Empty when it could not be
  // opened (ToolOpenError says why).
  mw::UniqueFileHandle ToolFile;
  DWORD ToolOpenError = 0;
  mw::PathString LauncherFolderWithoutBackslashes;  // "C:\pkg", "D:" at a drive root
  mw::PathString WorkingFolder;                     // the same, "D:\" at a drive root
  mw::PathString PackageFolder;                     // with one trailing backslash
  mw::PathString OldPackagePath;
  mw::PathString PackagePath;  // the package the tool is given
  std::wstring ToolVersion;    // as logged; empty until the version was read
  mw::String CommandLine;
  // Detach was asked for but the tool is too old: the caller warns on the console.
  bool DetachNotSupported = false;
};

enum class ToolPreparation { ToolMissing, PackageMissing, Ready };

// Finds the patching tool under the installation folder, decides from its
// file version whether its output is echoed, whether detach is honoured (it
// never is when `detachPossible` is false: the run has no detach event) and
// which package it gets, and composes its command line. Sets WriteToolOutput
// and DetachRequested. A missing tool or package has been logged when this
// returns.
ToolPreparation PrepareToolInvocation(const mw::String& installPath, const OptionSet& options, bool detachPossible,
                                      ToolInvocation& invocation);

// The running executable's folder with one trailing backslash ("C:\pkg\",
// "D:\"); empty when the module name cannot be read.
void GetLauncherFolderWithBackslash(mw::PathString& folder);

// The quoted tool path and package, plus the script folder for old packages.
// Strips the launcher folder's trailing backslashes in place, so that it can
// be quoted and serve as the working folder.
mw::String ComposeToolCommandLine(const mw::String& toolPath, const mw::String& packagePath, bool useOldPackage,
                                  mw::PathString& launcherFolder);
