#include "runend/RunEvents.h"

#include <windows.h>

#include "log/Log.h"

void ReportRunEvent(const RunEvent& event, const std::wstring& text, const std::wstring& exitCode,
                    const RunFacts& facts) {
  const HANDLE source = RegisterEventSourceW(nullptr, L"Mendora.Launcher");
  if (source == nullptr) {
    WriteLog(L"[WARNING] Could not register the event source, error: %d.", static_cast<int>(GetLastError()));
    return;
  }
  const wchar_t* strings[] = {text.c_str(), exitCode.c_str(), facts.ToolVersion.c_str(), facts.PackageSha256.c_str(),
                              facts.LogPath.c_str()};
  if (!ReportEventW(source, event.Type, 0, event.Id, nullptr, static_cast<WORD>(std::size(strings)), 0, strings,
                    nullptr)) {
    WriteLog(L"[WARNING] Could not report event %d, error: %d.", static_cast<int>(event.Id),
             static_cast<int>(GetLastError()));
  }
  DeregisterEventSource(source);
}
