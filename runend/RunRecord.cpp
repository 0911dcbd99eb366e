#include "runend/RunRecord.h"

#include <sddl.h>

#include <cwchar>

#include "base/HeapBlock.h"
#include "base/HexText.h"
#include "base/ObjectTrust.h"
#include "base/ProcessAccount.h"
#include "base/SystemRandom.h"
#include "log/Log.h"

namespace {

constexpr wchar_t RunIdValue[] = L"RunId";

}  // namespace

void RunRecord::Open(const std::wstring& packageSha256) {
  const std::wstring path = std::wstring(RunRecordsKey) + L"\\" + packageSha256;
  RunId = NewRunId();
  LSTATUS status = RunId.empty() ? ERROR_GEN_FAILURE : ERROR_SUCCESS;
  // Explicit and protected, whatever the keys above allow: SYSTEM and
  // Administrators change it, users read it.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (status == ERROR_SUCCESS &&
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;KR;;;BU)",
                                                            SDDL_REVISION_1, &descriptor, nullptr)) {
    status = static_cast<LSTATUS>(GetLastError());
  }
  const mw::LocalMemory security(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security.Get(), FALSE};
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (status == ERROR_SUCCESS) {
    status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_SET_VALUE | KEY_QUERY_VALUE | READ_CONTROL | DELETE | KEY_WOW64_64KEY, &attributes,
                             &key, &disposition);
  }
  if (status != ERROR_SUCCESS) {
    WriteLog(L"[WARNING] Could not write the run record HKLM\\%s, error: %d - the run goes on without it.",
             path.c_str(), static_cast<int>(status));
    return;
  }
  Key.Reset(key);
  CreatedKey = disposition == REG_CREATED_NEW_KEY;
  if (CreatedKey || HasTrustedOwner()) return;
  // Someone else's key would let them change what detection reads.
  WriteLog(L"[WARNING] The run record HKLM\\%s is not owned by a trusted account - the run goes on without it.",
           path.c_str());
  Key.Close();
}

bool RunRecord::HasTrustedOwner() const {
  DWORD size = 0;
  RegGetKeySecurity(Key.Get(), OWNER_SECURITY_INFORMATION, nullptr, &size);
  HeapBlock security = AllocateHeapBlock(size);
  if (!security || RegGetKeySecurity(Key.Get(), OWNER_SECURITY_INFORMATION, security.Get(), &size) != ERROR_SUCCESS) {
    return false;
  }
  return IsTrustedOwner(security.Get(), ProcessAccount().Sid());
}

void RunRecord::Begin(const std::wstring& toolVersion, const wchar_t* logPath) {
  if (!Key) return;
  // Load bearing: the id first, so that an earlier run's end can no longer
  // land here, then its end removed: detection reads ExitCode.
  SetText(RunIdValue, RunId);
  RegDeleteValueW(Key.Get(), L"ExitCode");
  RegDeleteValueW(Key.Get(), L"Ended");
  SetText(L"State", L"running");
  SetText(L"Started", RecordTimeNow());
  SetText(L"ToolVersion", toolVersion);
  SetNumber(L"Detached", 0);
  SetText(L"Log", logPath);
}

void RunRecord::Discard() {
  // An empty key says nothing, but it is this run's to remove.
  if (Key && CreatedKey) RegDeleteKeyExW(Key.Get(), L"", KEY_WOW64_64KEY, 0);
  Key.Close();
}

void RunRecord::MarkDetached() {
  if (StillOurs()) SetNumber(L"Detached", 1);
}

void RunRecord::End(const RunOutcome& toolEnd) {
  if (!StillOurs()) return;
  // ExitCode comes before State, so a reader who sees "ended" sees the code too.
  if (toolEnd.What == RunOutcome::Kind::ToolEnded) SetNumber(L"ExitCode", toolEnd.Code);
  SetText(L"Ended", RecordTimeNow());
  SetText(L"State", L"ended");
}

void RunRecord::Abandon() {
  if (StillOurs()) SetText(L"State", L"abandoned");
}

bool RunRecord::StillOurs() {
  if (!Key || TakenOver) return false;
  wchar_t found[64] = {};
  DWORD size = sizeof found - sizeof(wchar_t);
  DWORD type = 0;
  const LSTATUS status =
      RegQueryValueExW(Key.Get(), RunIdValue, nullptr, &type, reinterpret_cast<BYTE*>(found), &size);
  if (status == ERROR_SUCCESS && type == REG_SZ && RunId == found) return true;
  TakenOver = true;
  WriteLog(L"[WARNING] The run record does not carry this run's RunId %s - another run has taken it over, or it "
           L"was never begun: this run's end is kept in this log only.",
           RunId.c_str());
  return false;
}

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

std::wstring NewRunId() {
  unsigned char bytes[16];
  if (FillWithSystemRandom(bytes, sizeof bytes) != 0) return {};
  // A version 4 (random) GUID of the RFC 4122 variant.
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  // "{" 8 "-" 4 "-" 4 "-" 4 "-" 12 "}": the bytes in groups of 4, 2, 2, 2 and 6.
  std::wstring text = L"{";
  std::size_t at = 0;
  for (const std::size_t group : {4, 2, 2, 2, 6}) {
    wchar_t digits[13];
    WriteHex(bytes + at, group, HexCase::Upper, digits);
    text += digits;
    text += at + group < sizeof bytes ? L"-" : L"}";
    at += group;
  }
  return text;
}
