#pragma once

#include <atomic>
#include <cstdint>

// How many bytes of the tool's lines one run's log may still take. Once a
// line does not fit, it and every later line are left out and counted, so
// the log stays whole up to the point where it stops. Shared by the readers
// of both pipes.
class ToolLineBudget {
 public:
  explicit ToolLineBudget(std::uint64_t logBytes) : Left(logBytes) {}

  // Whether a line that takes `logBytes` in the log may be written; if not,
  // it counts as left out with `toolBytes`, what the tool wrote for it.
  bool Take(std::uint64_t logBytes, std::uint64_t toolBytes);
  // Every line from now on is left out.
  void StopLogging() { Left.store(0); }

  std::uint64_t LeftOutLines() const { return LinesLeftOut.load(); }
  std::uint64_t LeftOutBytes() const { return BytesLeftOut.load(); }

 private:
  std::atomic<std::uint64_t> Left;
  std::atomic<std::uint64_t> LinesLeftOut = 0;
  std::atomic<std::uint64_t> BytesLeftOut = 0;
};
