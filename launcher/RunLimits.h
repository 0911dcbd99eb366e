#pragma once

#include <windows.h>

#include <cstdint>

// How long the run waits for the tool, and for each output pump once the
// wait is over. Fixed in the shipped launcher; only a test build of the
// launcher passes shorter ones.
struct RunLimits {
  DWORD ToolWaitMs;
  std::uint64_t PumpJoinMs;
};

inline constexpr RunLimits ShippedRunLimits{6000000, 5000};  // 100 minutes, 5 seconds
