#include "tests/support/RunRecordReader.h"

#include "base/HexText.h"
#include "base/Sha256.h"
#include "base/UniqueHolder.h"

namespace testing_support {

namespace {

constexpr wchar_t RecordsKey[] = L"SOFTWARE\\Mendora\\Launcher\\Patches";

std::wstring Text(HKEY key, const wchar_t* name) {
  wchar_t buffer[2048] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  return std::wstring(buffer, size / sizeof(wchar_t)).c_str();
}

std::optional<DWORD> Number(HKEY key, const wchar_t* name) {
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

RunRecordValues ReadRunRecord(const std::wstring& packageSha256) {
  RunRecordValues values;
  HKEY key = nullptr;
  const std::wstring path = std::wstring(RecordsKey) + L"\\" + packageSha256;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return values;
  }
  values.Exists = true;
  values.State = Text(key, L"State");
  values.ExitCode = Number(key, L"ExitCode");
  values.Started = Text(key, L"Started");
  values.Ended = Text(key, L"Ended");
  values.ToolVersion = Text(key, L"ToolVersion");
  values.Detached = Number(key, L"Detached");
  values.Log = Text(key, L"Log");
  RegCloseKey(key);
  return values;
}

RunRecordValues WaitForRunRecordState(const std::wstring& packageSha256, const std::wstring& state,
                                      DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  RunRecordValues values = ReadRunRecord(packageSha256);
  while (values.State != state && GetTickCount64() < deadline) {
    Sleep(50);
    values = ReadRunRecord(packageSha256);
  }
  return values;
}

bool WriteEarlierRunEnd(const std::wstring& packageSha256, DWORD exitCode) {
  HKEY created = nullptr;
  const std::wstring path = std::wstring(RecordsKey) + L"\\" + packageSha256;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                      &created, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const mw::UniqueHolder<mw::NullEmptyTraits<HKEY, &RegCloseKey>> key(created);
  const auto setText = [&](const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  };
  return setText(L"RunId", L"{11111111-1111-4111-8111-111111111111}") && setText(L"State", L"ended") &&
         RegSetValueExW(key.Get(), L"ExitCode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&exitCode),
                        sizeof exitCode) == ERROR_SUCCESS;
}

void RemoveRunRecords() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mendora\\Launcher", 0,
                    KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return;
  }
  RegDeleteTreeW(key, L"Patches");
  RegCloseKey(key);
}

std::wstring Sha256Text(const std::string& bytes) {
  Sha256 hash;
  unsigned char digest[Sha256Size] = {};
  if (hash.Start() != 0 || hash.Add(bytes.data(), bytes.size()) != 0 || hash.Finish(digest) != 0) return {};
  wchar_t text[2 * Sha256Size + 1];
  WriteHex(digest, Sha256Size, HexCase::Lower, text);
  return text;
}

}  // namespace testing_support
