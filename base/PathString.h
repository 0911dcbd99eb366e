#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "base/GuardedString.h"

namespace mw {

inline constexpr std::uint32_t PathUnits = 260;  // MAX_PATH

// A guarded string that brings its first block and header inside the object,
// so paths of up to 260 units need no heap block. Longer texts move to a heap
// block for good. The object must never be copied bytewise or be the source
// of MoveFrom: its frame points into itself.
class PathString : public String {
 public:
  PathString(const wchar_t* text = nullptr);  // NOLINT: implicit, like String
  explicit PathString(const String& other);   // the other's text up to its terminator
  PathString(const PathString& other);        // the other's Length units
  ~PathString();

  PathString& operator=(const PathString& other);
  using String::operator=;

  // Appends the component with exactly one separator before it; always true.
  bool JoinPath(const wchar_t* component);
  // Creates the folder and its missing parents; true when it exists afterwards.
  // `security` is given to the folder itself, in the call that creates it;
  // parents get the default.
  bool CreateDirectoryRecursive(const SECURITY_ATTRIBUTES* security = nullptr);

 private:
  void UseInlineStorage();

  StringHeader InlineHeader{};
  alignas(std::uint32_t) std::byte InlineBlock[BlockSize(PathUnits)]{};
};

}  // namespace mw
