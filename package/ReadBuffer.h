#pragma once

#include <cstddef>

// The one piece size for reading the payload: large enough that the system
// calls per byte do not show, small enough that memory stays flat.
inline constexpr std::size_t ReadBufferSize = 256 * 1024;
