#include "runend/ToolEnd.h"

#include "base/ToolFileName.h"
#include "log/Log.h"

RunOutcome ReadToolEnd(HANDLE toolProcess, const wchar_t* toolPath) {
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(toolProcess, &exitCode)) {
    const DWORD error = GetLastError();
    WriteLog(L"[ERROR] GetExitCodeProcess failed, error: %d", static_cast<int>(error));
    return {RunOutcome::Kind::ExitCodeUnreadable, error};
  }
  if (exitCode != 0) {
    WriteLog(L"[ERROR] %s returned %d", toolPath, static_cast<int>(exitCode));
  } else {
    WriteLog(L"[INFO] %s returned with ERROR_SUCCESS.", ToolFileName);
  }
  return {RunOutcome::Kind::ToolEnded, exitCode};
}
