#include "package/LauncherStart.h"

#include <cstddef>
#include <cstdio>

#include "base/HandleListAttribute.h"
#include "base/UniqueHolder.h"
#include "package/StagingFolder.h"

namespace {

// The standard handles that can go on an inheritance list: real and
// distinct. Console handles of systems before Windows 8 are not real
// handles (their low two bits are set); the launcher reaches that console
// by sharing it, not by inheriting. Returns how many went into `handles`.
std::size_t InheritableStandardHandles(const STARTUPINFOW& startup, HANDLE (&handles)[3]) {
  std::size_t count = 0;
  const HANDLE standard[] = {startup.hStdInput, startup.hStdOutput, startup.hStdError};
  for (HANDLE handle : standard) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) continue;
    if ((reinterpret_cast<ULONG_PTR>(handle) & 3) == 3) continue;
    bool listed = false;
    for (std::size_t index = 0; index < count; ++index) listed = listed || handles[index] == handle;
    if (listed || !SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) continue;
    handles[count++] = handle;
  }
  return count;
}

}  // namespace

LauncherRun RunStagedLauncher(const wchar_t* folder) {
  // A staging folder's path, a separator, the launcher's name and two quotes.
  constexpr int PathUnits = StagingPathUnits + 32;
  wchar_t launcher[PathUnits];
  _snwprintf_s(launcher, PathUnits, _TRUNCATE, L"%ls\\%ls", folder, LauncherFileName);
  // CreateProcessW may write into the command line, so it is a copy of its own.
  wchar_t commandLine[PathUnits];
  _snwprintf_s(commandLine, PathUnits, _TRUNCATE, L"\"%ls\"", launcher);

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.StartupInfo.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.StartupInfo.hStdError = GetStdHandle(STD_ERROR_HANDLE);

  LauncherRun run;
  HANDLE inherited[3] = {};
  const std::size_t inheritedCount = InheritableStandardHandles(startup.StartupInfo, inherited);
  HandleListAttribute attributes;
  // Without a list the launcher would get every inheritable handle this
  // process holds, including any its own caller let it inherit.
  if (inheritedCount != 0) {
    if (!attributes.Make(inherited, inheritedCount)) {
      run.Error = GetLastError();
      return run;
    }
    startup.lpAttributeList = attributes.List();
  }

  PROCESS_INFORMATION created{};
  const DWORD flags = inheritedCount == 0 ? 0 : EXTENDED_STARTUPINFO_PRESENT;
  if (!CreateProcessW(launcher, commandLine, nullptr, nullptr, inheritedCount != 0, flags, nullptr, folder,
                      &startup.StartupInfo, &created)) {
    run.Error = GetLastError();
    return run;
  }
  const mw::UniqueHandle process(created.hProcess);
  const mw::UniqueHandle thread(created.hThread);
  DWORD exitCode = 0;
  // An error here is the package's, never the launcher's exit code.
  if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.Get(), &exitCode)) {
    run.Result = LauncherRun::Outcome::WaitFailed;
    run.Error = GetLastError() != 0 ? GetLastError() : ERROR_GEN_FAILURE;
    return run;
  }
  run.Result = LauncherRun::Outcome::Ended;
  run.ExitCode = exitCode;
  return run;
}
