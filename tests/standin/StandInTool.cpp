// Stand-in for the product's patching tool in tests. It writes down what it
// was started with, then follows the script beside it (see ToolScript.h).
//
// Ways out, all through ExitProcess (a real crash under Wine would put a
// debugger dump into the pipe):
//   - no script: 0, at once;
//   - the script's exit command, or 0 when it runs off the end;
//   - ToolErrorExitCode when it cannot record, read or parse its script or
//     carry out a command, with the reason on stderr.
// It never reads stdin: under Wine a hidden child's stdin read blocks for ever.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/programs/ProgramStart.h"
#include "tests/programs/Utf8Text.h"
#include "tests/standin/StandInProtocol.h"
#include "tests/standin/ToolFiles.h"
#include "tests/standin/ToolOutput.h"
#include "tests/standin/ToolRecord.h"
#include "tests/standin/ToolScript.h"
#include "tests/standin/ToolScriptRun.h"

namespace {

// Empty when the variable is not set.
std::wstring Variable(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

}  // namespace

int main() {
  using namespace stand_in;
  const std::wstring ownPath = programs::OwnProgramPath();
  const std::wstring scriptOverride = Variable(ScriptOverrideVariable);
  const std::wstring scriptPath = scriptOverride.empty() ? ownPath + ScriptSuffix : scriptOverride;
  const std::wstring recordPath = (scriptOverride.empty() ? ownPath : scriptOverride) + RecordSuffix;

  if (!WriteRecord(recordPath)) FailTool("cannot write the record " + programs::ToUtf8(recordPath));

  std::string script;
  if (!ReadWholeFile(scriptPath, script)) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) ExitProcess(0);  // exit: no script
    FailTool("cannot read the script " + programs::ToUtf8(scriptPath));
  }
  std::vector<ScriptCommand> commands;
  std::string error;
  if (!ParseScript(script, commands, error)) FailTool(error);
  ExitProcess(RunScript(commands, ownPath));
}
