#pragma once

#include <windows.h>

#include <cstddef>

#include "base/HeapBlock.h"

// A process/thread attribute list whose one attribute names the only handles
// a new process inherits. The list points at the caller's handles, so they
// stay in place until the process has started.
class HandleListAttribute {
 public:
  HandleListAttribute() = default;
  ~HandleListAttribute();
  HandleListAttribute(const HandleListAttribute&) = delete;
  HandleListAttribute& operator=(const HandleListAttribute&) = delete;

  // False with the system's last error when the list cannot be made.
  bool Make(HANDLE* handles, std::size_t count);

  LPPROC_THREAD_ATTRIBUTE_LIST List() const { return static_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(Block.Get()); }

 private:
  HeapBlock Block;
  bool Initialized = false;
};
