#include "launcher/RunRecord.h"

#include <cwchar>

#include "log/Log.h"

void RunRecord::Begin(const std::wstring& packageSha256, const std::wstring& toolVersion, const wchar_t* logPath) {
  const std::wstring path = std::wstring(RunRecordsKey) + L"\\" + packageSha256;
  HKEY key = nullptr;
  // No security descriptor: the key takes HKLM\SOFTWARE's rights, which let
  // users read it and only administrators change it.
  const LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_SET_VALUE | KEY_QUERY_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) {
    WriteLog(L"[WARNING] Could not write the run record HKLM\\%s, error: %d - the run goes on without it.",
             path.c_str(), static_cast<int>(status));
    return;
  }
  Key.Reset(key);
  // An earlier run's end must not pass for this run's: detection reads ExitCode.
  RegDeleteValueW(Key.Get(), L"ExitCode");
  RegDeleteValueW(Key.Get(), L"Ended");
  SetText(L"State", L"running");
  SetText(L"Started", RecordTimeNow());
  SetText(L"ToolVersion", toolVersion);
  SetNumber(L"Detached", 0);
  SetText(L"Log", logPath);
}

void RunRecord::MarkDetached() { SetNumber(L"Detached", 1); }

void RunRecord::End(const RunOutcome& toolEnd) {
  // ExitCode comes before State, so a reader who sees "ended" sees the code too.
  if (toolEnd.What == RunOutcome::Kind::ToolEnded) SetNumber(L"ExitCode", toolEnd.Code);
  SetText(L"Ended", RecordTimeNow());
  SetText(L"State", L"ended");
}

void RunRecord::Abandon() { SetText(L"State", L"abandoned"); }

void RunRecord::SetText(const wchar_t* name, const std::wstring& text) {
  if (!Key) return;
  RegSetValueExW(Key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void RunRecord::SetNumber(const wchar_t* name, DWORD number) {
  if (!Key) return;
  RegSetValueExW(Key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

std::wstring RecordTimeNow() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  wchar_t text[32];
  swprintf_s(text, std::size(text), L"%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", unsigned{now.wYear},
             unsigned{now.wMonth}, unsigned{now.wDay}, unsigned{now.wHour}, unsigned{now.wMinute},
             unsigned{now.wSecond}, unsigned{now.wMilliseconds});
  return text;
}
