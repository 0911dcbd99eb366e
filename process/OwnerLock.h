#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

// A critical section that knows its owner, so a thread that locks it twice
// fails loudly instead of entering it recursively.
class OwnerLock {
 public:
  OwnerLock();
  ~OwnerLock();
  OwnerLock(const OwnerLock&) = delete;
  OwnerLock& operator=(const OwnerLock&) = delete;

  // Throws std::system_error (resource_deadlock_would_occur) when the calling
  // thread already holds the lock; the lock stays as it was.
  void Lock();
  void Unlock();

  // Holds the lock for one scope.
  class Scope {
   public:
    explicit Scope(OwnerLock& lock) : Held(lock) { Held.Lock(); }
    ~Scope() { Held.Unlock(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    OwnerLock& Held;
  };

 private:
  CRITICAL_SECTION Section;
  std::atomic<std::uint64_t> Owner{0};
};
