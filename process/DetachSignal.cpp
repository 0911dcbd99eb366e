#include "process/DetachSignal.h"

#include <atomic>

mw::UniqueHandle DetachEvent;

namespace {

// Raised just before the event is set and never lowered, like the event,
// which is made once per run and never reset.
std::atomic<bool> DetachFlag = false;

}  // namespace

void SignalDetach() {
  if (!DetachEvent) return;
  DetachFlag.store(true, std::memory_order_release);
  SetEvent(DetachEvent.Get());
}

bool DetachSignaled() { return DetachFlag.load(std::memory_order_acquire); }
