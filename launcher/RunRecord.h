#pragma once

#include <windows.h>

#include <string>

#include "launcher/RunOutcome.h"
#include "product/RegistryKey.h"

// Where detection rules and administrators find how a patch run ended, under
// HKLM (the 64-bit view on 64-bit Windows), one key per patch file.
inline constexpr wchar_t RunRecordsKey[] = L"SOFTWARE\\Mendora\\Launcher\\Patches";

// The record of one run that started the tool, in the key named for the
// lowercase SHA-256 of the package the tool was given. A run that starts no
// tool never makes one, so another run's record stays as it was.
class RunRecord {
 public:
  RunRecord() = default;
  // A record whose key was handed over, opened by the launcher.
  explicit RunRecord(HKEY key) : Key(key) {}

  // Creates the key with the rights it inherits (users may read it), removes
  // an earlier run's end from it and writes "running". A launcher that may
  // not write there logs one warning and goes on without a record.
  void Begin(const std::wstring& packageSha256, const std::wstring& toolVersion, const wchar_t* logPath);
  // The launcher ended before the tool: its end comes from the watch.
  void MarkDetached();
  // "ended", with the tool's exit code when it could be read.
  void End(const RunOutcome& toolEnd);
  // The watch gave up before the tool ended.
  void Abandon();

  // Null without a record.
  HKEY Handle() const { return Key.Get(); }

 private:
  void SetText(const wchar_t* name, const std::wstring& text);
  void SetNumber(const wchar_t* name, DWORD number);

  RegistryKeyHandle Key;
};

// "2026-12-08T23:21:20.438Z": the time now, in UTC.
std::wstring RecordTimeNow();
