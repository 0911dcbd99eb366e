#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/standin/ToolScript.h"

namespace stand_in {

// Runs the commands in order and returns the exit code the script asks for,
// 0 when it runs off the end. `ownPath` is this exe, started again for a
// grandchild. A command that cannot be carried out ends the tool through
// FailTool.
DWORD RunScript(const std::vector<ScriptCommand>& commands, const std::wstring& ownPath);

}  // namespace stand_in
