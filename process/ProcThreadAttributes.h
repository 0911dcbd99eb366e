#pragma once

#include <windows.h>

#include <cstddef>
#include <map>
#include <vector>

// A process/thread attribute list and private copies of the values it points
// to, alive together for one process start.
class ProcThreadAttributes {
 public:
  explicit ProcThreadAttributes(DWORD count);
  ~ProcThreadAttributes();
  ProcThreadAttributes(const ProcThreadAttributes&) = delete;
  ProcThreadAttributes& operator=(const ProcThreadAttributes&) = delete;

  // False with the system's last error when the value is refused (or the
  // list could not be made); a refused value leaves the earlier one in force.
  bool Set(DWORD_PTR attribute, const void* bytes, std::size_t length);

  // Null when the list could not be made.
  LPPROC_THREAD_ATTRIBUTE_LIST List();

 private:
  LPPROC_THREAD_ATTRIBUTE_LIST Buffer();

  std::vector<std::byte> ListBuffer;
  std::map<DWORD_PTR, std::vector<std::byte>> Values;
  DWORD InitializeError = 0;
};
