#pragma once

#include <string>

#include "base/ToolFileName.h"
#include "runend/RunOutcome.h"

// What a run's events tell besides the outcome; empty texts where a run has
// none (no tool found, no package hashed, no log).
struct RunFacts {
  std::wstring ToolVersion;    // as logged
  std::wstring PackageSha256;  // of the package the tool was given
  std::wstring LogPath;
};

// The first insertion string of an event whose outcome has no console line.
inline const std::wstring DetachedEventText =
    std::wstring(L"Patch validation finished; ") + ToolFileName + L" goes on patching.";

// Reports one event of the source "Mendora.Launcher" to the Application log,
// with five insertion strings: `text` (the console line), the exit code, the
// tool version, the package's SHA-256 and the log path. No message file is
// registered: Event Viewer shows the strings as they are. Failures are
// logged only.
void ReportRunEvent(const RunEvent& event, const std::wstring& text, const std::wstring& exitCode,
                    const RunFacts& facts);
