#pragma once

#include <windows.h>

#include <cstdint>

// How long the run waits for the tool, for each output pump once the wait is
// over, and how long the watch that outlives an early end waits for the
// tool's end. Fixed in the shipped launcher; only a test build of the
// launcher passes shorter ones.
struct RunLimits {
  DWORD ToolWaitMs;
  std::uint64_t PumpJoinMs;
  DWORD WatchGiveUpMs;
};

inline constexpr RunLimits ShippedRunLimits{6000000, 5000, 24 * 60 * 60 * 1000};  // 100 minutes, 5 seconds, 24 hours
