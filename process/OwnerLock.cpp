#include "process/OwnerLock.h"

#include <system_error>

namespace {

constexpr DWORD SpinCount = 1000;

}  // namespace

OwnerLock::OwnerLock() { InitializeCriticalSectionAndSpinCount(&Section, SpinCount); }

OwnerLock::~OwnerLock() { DeleteCriticalSection(&Section); }

void OwnerLock::Lock() {
  const std::uint64_t caller = GetCurrentThreadId();
  if (Owner.load() == caller) throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
  EnterCriticalSection(&Section);
  Owner.store(caller);
}

void OwnerLock::Unlock() {
  Owner.store(0);
  LeaveCriticalSection(&Section);
}
