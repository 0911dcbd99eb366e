#include "package/LauncherStart.h"

#include <vector>

#include "base/ProcThreadAttributes.h"
#include "base/UniqueHolder.h"

namespace {

// The standard handles that can go on an inheritance list: real and
// distinct. Console handles of systems before Windows 8 are not real
// handles (their low two bits are set); the launcher reaches that console
// by sharing it, not by inheriting.
std::vector<HANDLE> InheritableStandardHandles(const STARTUPINFOW& startup) {
  std::vector<HANDLE> handles;
  for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) continue;
    if ((reinterpret_cast<ULONG_PTR>(handle) & 3) == 3) continue;
    bool listed = false;
    for (HANDLE known : handles) listed = listed || known == handle;
    if (listed || !SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) continue;
    handles.push_back(handle);
  }
  return handles;
}

}  // namespace

LauncherRun RunLauncher(const std::wstring& folder) {
  const std::wstring launcher = folder + L"\\" + LauncherFileName;
  std::wstring commandLine = L"\"" + launcher + L"\"";

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.StartupInfo.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.StartupInfo.hStdError = GetStdHandle(STD_ERROR_HANDLE);

  LauncherRun run;
  const std::vector<HANDLE> inherited = InheritableStandardHandles(startup.StartupInfo);
  ProcThreadAttributes attributes(1);
  // Without a list the launcher would get every inheritable handle this
  // process holds, including any its own caller let it inherit.
  if (!inherited.empty()) {
    if (!attributes.Set(PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(), inherited.size() * sizeof(HANDLE))) {
      run.Error = GetLastError();
      return run;
    }
    startup.lpAttributeList = attributes.List();
  }

  PROCESS_INFORMATION created{};
  const DWORD flags = inherited.empty() ? 0 : EXTENDED_STARTUPINFO_PRESENT;
  if (!CreateProcessW(launcher.c_str(), commandLine.data(), nullptr, nullptr, !inherited.empty(), flags, nullptr,
                      folder.c_str(), &startup.StartupInfo, &created)) {
    run.Error = GetLastError();
    return run;
  }
  const mw::UniqueHandle process(created.hProcess);
  const mw::UniqueHandle thread(created.hThread);
  run.Started = true;
  DWORD exitCode = 0;
  if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.Get(), &exitCode)) {
    run.ExitCode = GetLastError();
    return run;
  }
  run.ExitCode = exitCode;
  return run;
}
