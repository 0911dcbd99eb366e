#pragma once

#include <windows.h>

namespace mw {

// Owns one handle of the kind its traits describe:
//   Type            the handle's type
//   Empty()         the value of a holder that owns nothing
//   IsEmpty(value)  whether a value owns nothing (some kinds fail with more than one)
//   Close(value)    gives the handle back to the system
// Closing clears the holder, so a handle is closed exactly once whichever
// clean-up path runs first.
template <typename Traits>
class UniqueHolder {
 public:
  using Type = typename Traits::Type;

  UniqueHolder() = default;
  explicit UniqueHolder(Type value) : Value(value) {}
  UniqueHolder(const UniqueHolder&) = delete;
  UniqueHolder& operator=(const UniqueHolder&) = delete;
  UniqueHolder(UniqueHolder&& other) noexcept : Value(other.Take()) {}
  UniqueHolder& operator=(UniqueHolder&& other) noexcept {
    Reset(other.Take());
    return *this;
  }
  ~UniqueHolder() { Reset(); }

  Type Get() const { return Value; }
  explicit operator bool() const { return !Traits::IsEmpty(Value); }

  // Takes the new value and closes the one held before.
  void Reset(Type value = Traits::Empty()) {
    if (Value == value) return;
    // Keep the caller's last error: the close is not what failed.
    const DWORD lastError = GetLastError();
    if (!Traits::IsEmpty(Value)) Traits::Close(Value);
    Value = value;
    SetLastError(lastError);
  }
  void Close() { Reset(); }

  // Hands the handle over without closing it.
  [[nodiscard]] Type Take() {
    const Type value = Value;
    Value = Traits::Empty();
    return value;
  }

 private:
  Type Value = Traits::Empty();
};

// A kind of handle whose only empty value is null.
template <typename HandleType, auto CloseFunction>
struct NullEmptyTraits {
  using Type = HandleType;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type value) { return value == nullptr; }
  static void Close(Type value) { CloseFunction(value); }
};

// CreateFileW fails with INVALID_HANDLE_VALUE, not null: neither owns a file.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type value) { return value == nullptr || value == INVALID_HANDLE_VALUE; }
  static void Close(Type value) { CloseHandle(value); }
};

// Processes, threads, events and pipes.
using UniqueHandle = UniqueHolder<NullEmptyTraits<HANDLE, &CloseHandle>>;
// Files and folders from CreateFileW.
using UniqueFileHandle = UniqueHolder<FileHandleTraits>;
// Memory the system hands out from LocalAlloc: security descriptors, SID
// texts, argument vectors.
using LocalMemory = UniqueHolder<NullEmptyTraits<HLOCAL, &LocalFree>>;

}  // namespace mw
