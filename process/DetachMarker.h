#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The tool prints this on its standard output when its validation is done.
inline constexpr std::string_view DetachMarker = "Patch validation finished";

// Watches the standard output for the marker, including a marker split across
// reads, while keeping only the bytes that could still begin one.
class DetachMarkerWindow {
 public:
  // True when a marker ends within these bytes, wherever it began.
  bool Feed(const char* bytes, std::size_t count);

 private:
  std::string Tail;  // at most the marker's length less one byte
};
