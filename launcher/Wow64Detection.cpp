#include "launcher/Wow64Detection.h"

#include <windows.h>

#include "base/ProcAddress.h"

// IsWow64Process2 exists from Windows 10 version 1511 (build 10586); the
// build test only sees the real build because the manifest declares Windows 10.
bool IsWindows10Build10586OrLater() {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  info.dwBuildNumber = 10586;
  const DWORDLONG mask = VerSetConditionMask(0, VER_BUILDNUMBER, VER_GREATER_EQUAL);
  return VerifyVersionInfoW(&info, VER_BUILDNUMBER, mask) != FALSE;
}

namespace {

bool QueryWow64Process2(bool& isWow64) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return false;
  using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
  auto isWow64Process2 = mw::ProcAddress<IsWow64Process2Function>(kernel, "IsWow64Process2");
  if (isWow64Process2 == nullptr) return false;
  USHORT processMachine = 0;
  USHORT nativeMachine = 0;
  if (!isWow64Process2(GetCurrentProcess(), &processMachine, &nativeMachine)) return false;
  isWow64 = processMachine != IMAGE_FILE_MACHINE_UNKNOWN;
  return true;
}

}  // namespace

bool DetectWow64() {
  bool isWow64 = false;
  if (IsWindows10Build10586OrLater() && QueryWow64Process2(isWow64)) return isWow64;
  BOOL flag = FALSE;
  return IsWow64Process(GetCurrentProcess(), &flag) && flag;
}
