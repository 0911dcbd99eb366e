#include "process/WorkerThread.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "base/HandleDuplicate.h"

namespace {

constexpr std::uint64_t StartJoinTimeoutMs = 15 * 60 * 1000;

// noexcept: a task that throws (or an empty one) ends the program here
// instead of unwinding into the system's thread start.
DWORD WINAPI RunTask(void* parameter) noexcept {
  std::unique_ptr<std::function<void()>> task(static_cast<std::function<void()>*>(parameter));
  (*task)();
  return 0;
}

// Long time-outs stay finite: a plain cast would turn 2^32 ms into an
// immediate time-out and 0xFFFFFFFF into INFINITE.
DWORD WaitMilliseconds(std::optional<std::uint64_t> timeoutMs) {
  if (!timeoutMs) return INFINITE;
  return static_cast<DWORD>(std::min<std::uint64_t>(*timeoutMs, INFINITE - 1));
}

}  // namespace

WorkerThread::~WorkerThread() {
  if (Handle) std::terminate();
}

DWORD WorkerThread::Start(std::function<void()> task) {
  if (const DWORD joined = Join(StartJoinTimeoutMs); joined != 0) return joined;

  OwnerLock::Scope held(Lock);
  if (Handle) return ERROR_ALREADY_EXISTS;
  auto copy = std::make_unique<std::function<void()>>(std::move(task));
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, &RunTask, copy.get(), 0, &id);
  // A task that will never run must not look started: report the system's reason.
  if (thread == nullptr) return GetLastError();
  static_cast<void>(copy.release());  // the new thread owns it now
  Handle.Reset(thread);
  ThreadId = id;
  return 0;
}

DWORD WorkerThread::Join(std::optional<std::uint64_t> timeoutMs) {
  HANDLE copy = nullptr;
  {
    OwnerLock::Scope held(Lock);
    if (!Handle) return 0;
    copy = DuplicateInto(GetCurrentProcess(), Handle.Get(), 0, false);
    if (copy == nullptr) return ERROR_FUNCTION_FAILED;
    // The worker lets go of the thread now, whatever the wait below brings.
    Handle.Close();
    ThreadId = 0;
  }
  const mw::UniqueHandle thread(copy);
  return WaitForSingleObject(thread.Get(), WaitMilliseconds(timeoutMs)) == WAIT_OBJECT_0 ? 0 : ERROR_FUNCTION_FAILED;
}
