#pragma once

#include <windows.h>

// What the stand-in patching tool and the tests that drive it agree on.
namespace stand_in {

// Files beside the tool: <exe>.script says what it does, <exe>.record is
// where it writes down what it was started with.
inline constexpr wchar_t ScriptSuffix[] = L".script";
inline constexpr wchar_t RecordSuffix[] = L".record";

// A grandchild is the same exe, told through this variable which script to
// follow; its record goes to <script>.record so the parent's stays intact.
inline constexpr wchar_t ScriptOverrideVariable[] = L"STANDIN_TOOL_SCRIPT";

// Record lines, each "<tag><value>\n"; see tests/support/StandInInstall.h.
inline constexpr char CommandLineTag[] = "command-line ";
inline constexpr char CurrentDirectoryTag[] = "current-directory ";
inline constexpr char EnvironmentTag[] = "environment ";

// The tool could not do what it was asked (record, read or parse its script,
// start a grandchild); stderr says why. Chosen to stand out from the codes
// tests ask for.
inline constexpr DWORD ToolErrorExitCode = 0xBAD5C817u;

// An out-or-fail write failed: nobody read the tool's output any more.
inline constexpr DWORD WriteFailedExitCode = 0xBAD5C109u;

}  // namespace stand_in
