#include "base/FailFast.h"

#include <windows.h>

namespace mw {

void FailFast() {
  // The fail-fast interrupt bypasses every exception and unhandled-exception
  // filter; systems older than Windows 8 raise an access violation instead,
  // which ends the process just as abruptly.
  __asm__ volatile("int $0x29" : : "c"(FAST_FAIL_FATAL_APP_EXIT) : "memory");
  __builtin_unreachable();
}

}  // namespace mw
