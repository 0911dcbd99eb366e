#pragma once

#include <windows.h>

// Owns one service control manager or service handle.
class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE handle = nullptr) : Handle(handle) {}
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  ~ServiceHandle() { Close(); }

  SC_HANDLE Get() const { return Handle; }
  explicit operator bool() const { return Handle != nullptr; }

  void Close() {
    if (Handle == nullptr) return;
    CloseServiceHandle(Handle);
    Handle = nullptr;
  }

 private:
  SC_HANDLE Handle;
};
