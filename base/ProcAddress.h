#pragma once

#include <windows.h>

namespace mw {

// A typed export of a loaded module, or null when the module lacks it.
template <typename Function>
Function ProcAddress(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace mw
