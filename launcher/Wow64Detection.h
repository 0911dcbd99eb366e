#pragma once

// True when this 32-bit process runs on 64-bit Windows, so registry lookups
// must ask for the 64-bit view explicitly.
bool DetectWow64();

// Whether the system reports build 10586 or later, where IsWow64Process2 may
// exist; DetectWow64 asks it first.
bool IsWindows10Build10586OrLater();
