#include "process/DetachMarker.h"

#include <algorithm>

namespace {

constexpr std::size_t TailLength = DetachMarker.size() - 1;

}  // namespace

bool DetachMarkerWindow::Feed(const char* bytes, std::size_t count) {
  const std::string_view chunk(bytes, count);
  // A marker begun in earlier reads ends within the first bytes of this one.
  const std::string joint = Tail + std::string(chunk.substr(0, TailLength));
  const bool found = joint.find(DetachMarker) != std::string::npos || chunk.find(DetachMarker) != std::string_view::npos;

  if (count >= TailLength) {
    Tail.assign(chunk.substr(count - TailLength));
  } else {
    Tail.append(chunk);
    Tail.erase(0, Tail.size() - std::min(Tail.size(), TailLength));
  }
  return found;
}
