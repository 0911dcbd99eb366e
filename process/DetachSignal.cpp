#include "process/DetachSignal.h"

#include <atomic>

mw::UniqueHandle DetachEvent;

namespace {

// Raised just before the event is set; lowered only with a new event.
std::atomic<bool> DetachFlag = false;

}  // namespace

bool ArmDetachSignal() {
  DetachFlag.store(false, std::memory_order_release);
  DetachEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  return static_cast<bool>(DetachEvent);
}

void SignalDetach() {
  if (!DetachEvent) return;
  DetachFlag.store(true, std::memory_order_release);
  SetEvent(DetachEvent.Get());
}

bool DetachSignaled() { return DetachFlag.load(std::memory_order_acquire); }
