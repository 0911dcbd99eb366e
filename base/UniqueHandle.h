#pragma once

#include <windows.h>

namespace mw {

// Owns one kernel handle; an empty holder is null. Closing clears the field,
// so a handle is closed exactly once whichever clean-up path runs first.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : Handle(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : Handle(other.Take()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    Reset(other.Take());
    return *this;
  }
  ~UniqueHandle() { Close(); }

  HANDLE Get() const { return Handle; }
  explicit operator bool() const { return Handle != nullptr; }

  // Takes the new handle and closes the one held before.
  void Reset(HANDLE handle = nullptr) {
    if (Handle == handle) return;
    // Keep the caller's last error: the close is not what failed.
    const DWORD lastError = GetLastError();
    if (Handle != nullptr) CloseHandle(Handle);
    Handle = handle;
    SetLastError(lastError);
  }

  void Close() { Reset(nullptr); }

  [[nodiscard]] HANDLE Take() {
    HANDLE handle = Handle;
    Handle = nullptr;
    return handle;
  }

 private:
  HANDLE Handle = nullptr;
};

}  // namespace mw
