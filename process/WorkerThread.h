#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>

#include "base/UniqueHolder.h"
#include "process/OwnerLock.h"

// Runs one task at a time on a thread of its own. A join that times out
// forgets the thread and leaves it running, so an owner never has to wait
// for ever for a task stuck in a blocking call.
class WorkerThread {
 public:
  WorkerThread() = default;
  // Ends the program when a thread is still held: its task may use objects
  // that die with the worker.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // 0 when the task runs on a new thread; first joins a previous thread for
  // up to 15 minutes and returns that join's failure, or 183
  // (ERROR_ALREADY_EXISTS) when another caller started a thread meanwhile.
  DWORD Start(std::function<void()> task);

  // 0 when no thread is held or it ended in time (no time-out: no limit);
  // 1627 (ERROR_FUNCTION_FAILED) when the handle cannot be duplicated or the
  // wait times out or fails. Only a failed duplication keeps the thread.
  DWORD Join(std::optional<std::uint64_t> timeoutMs);

 private:
  mw::UniqueHandle Handle;
  std::uint64_t ThreadId = 0;
  OwnerLock Lock;
};
