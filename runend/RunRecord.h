#pragma once

#include <windows.h>

#include <string>

#include "product/RegistryKey.h"
#include "runend/RunOutcome.h"

// Where detection rules and administrators find how a patch run ended, under
// HKLM (the 64-bit view on 64-bit Windows), one key per patch file.
inline constexpr wchar_t RunRecordsKey[] = L"SOFTWARE\\Mendora\\Launcher\\Patches";

// The record of one run that started the tool, in the key named for the
// lowercase SHA-256 of the package the tool was given. A run that starts no
// tool never makes one, so another run's record stays as it was.
//
// A later run of the same package takes the key over by writing its own
// RunId; from then on an earlier run writes nothing there (its end goes to
// its own log only), so no run's end is taken for another's. The registry
// has no compare-and-set: the id is read just before each write, and the
// patch-run mark keeps a second run from starting until the first one's end
// is written, so the two meet only where the mark could not be made.
class RunRecord {
 public:
  RunRecord() = default;
  // A record whose key was handed over, opened by the launcher of the run `runId`.
  RunRecord(HKEY key, std::wstring runId) : Key(key), RunId(std::move(runId)) {}

  // Opens or creates the key, a new one with an explicit protected
  // descriptor (SYSTEM and Administrators change it, users read it), and
  // makes this run's id; writes nothing yet, so that the finisher can be
  // handed the key before the tool starts. An existing key that a trusted
  // account does not own is not used. A launcher that may not write there,
  // or finds such a key, logs one warning and goes on without a record.
  void Open(const std::wstring& packageSha256);
  // Once the tool runs: writes the RunId, removes an earlier run's end and
  // writes "running".
  void Begin(const std::wstring& toolVersion, const wchar_t* logPath);
  // The tool did not start: a key this run created goes again.
  void Discard();
  // The launcher ended before the tool: its end comes from the finisher.
  void MarkDetached();
  // "ended", with the tool's exit code when it could be read.
  void End(const RunOutcome& toolEnd);
  // The finisher gave up before the tool ended.
  void Abandon();

  // Null without a record.
  HKEY Handle() const { return Key.Get(); }
  const std::wstring& Id() const { return RunId; }

 private:
  // Whether the key carries this run's id; one warning in the log when it
  // does not (another run has taken it over, or the launcher was stopped
  // before it began the record), which it then keeps.
  bool StillOurs();
  bool HasTrustedOwner() const;
  void SetText(const wchar_t* name, const std::wstring& text);
  void SetNumber(const wchar_t* name, DWORD number);

  RegistryKeyHandle Key;
  std::wstring RunId;
  bool CreatedKey = false;
  bool TakenOver = false;
};

// "2026-12-08T23:21:20.438Z": the time now, in UTC.
std::wstring RecordTimeNow();

// A new random GUID from CNG, "{8-4-4-4-12}" in uppercase hex; empty when
// the generator failed.
std::wstring NewRunId();
