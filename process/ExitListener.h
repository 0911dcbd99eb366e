#pragma once

#include <windows.h>

// Told once that a watched child process has ended, on a thread of its own.
template <typename ContextType>
class ExitListener {
 public:
  virtual void OnExit(ContextType context, DWORD exitCode) = 0;

 protected:
  ~ExitListener() = default;
};
