#pragma once

#include <windows.h>

#include <cstdint>

// How long the run waits for the tool and for each output pump once the wait
// is over; how long the finisher logs the tool after the launcher ended, and
// how much of the tool's output one run's log keeps. Fixed in the shipped
// launcher; only a test build of the launcher passes smaller ones.
struct RunLimits {
  DWORD ToolWaitMs;
  std::uint64_t PumpJoinMs;
  DWORD FinisherGiveUpMs;
  std::uint64_t ToolLogBytes;
};

// 100 minutes, 5 seconds, 24 hours; 16 MiB of the tool's lines: room for
// any patching tool's progress, diagnostic output included, while a tool
// that floods its output for a day cannot fill the system drive.
inline constexpr RunLimits ShippedRunLimits{100 * 60 * 1000, 5000, 24 * 60 * 60 * 1000, 16 * 1024 * 1024};
