#pragma once

#include <windows.h>

#include "options/OptionSet.h"

// How long a run waits, set by options that carry a value and are spelled
// like the switches (wait=600, /wait=600, -wait=600, --wait=600):
//   wait=SECONDS     for another run of ours to release the patch-run mark
//                    before ending with 1618: 0 to 86400, 600 by default
//   timeout=MINUTES  for the tool, before ending with 1460: 1 to 1440; the
//                    build's own limit (100 minutes shipped) by default
// The last value given counts. One that is not a whole number in range is
// not guessed at: one warning names the option and the value, and the
// default is used.
struct WaitLimits {
  DWORD OtherRunMs;
  DWORD ToolMs;
};

inline constexpr DWORD DefaultOtherRunWaitSeconds = 600;

WaitLimits ReadWaitLimits(const OptionSet& options, DWORD defaultToolMs);
