#pragma once

#include <cstddef>
#include <cstdint>

// The one piece size for reading the payload: large enough that the system
// calls per byte do not show, small enough that memory stays flat.
inline constexpr std::size_t ReadBufferSize = 256 * 1024;

// The next piece of a stretch that has `remaining` bytes left.
inline std::size_t PieceSize(std::uint64_t remaining) {
  return remaining < ReadBufferSize ? static_cast<std::size_t>(remaining) : ReadBufferSize;
}
