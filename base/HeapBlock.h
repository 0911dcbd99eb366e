#pragma once

#include <windows.h>

#include <cstddef>

#include "base/UniqueHolder.h"

// A block of the process heap, freed on every way out. The package keeps its
// buffers here rather than in the C++ library's containers, which would link
// that library, and its exception support, into the program.
struct HeapBlockTraits {
  using Type = void*;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type value) { return value == nullptr; }
  static void Close(Type value) { HeapFree(GetProcessHeap(), 0, value); }
};
using HeapBlock = mw::UniqueHolder<HeapBlockTraits>;

// Empty when the heap has no room for `size` bytes.
inline HeapBlock AllocateHeapBlock(std::size_t size) { return HeapBlock(HeapAlloc(GetProcessHeap(), 0, size)); }

// The longest path the system has, terminator included.
inline constexpr DWORD LongestPathUnits = 32768;

// Room for any path; empty when the heap has none.
inline HeapBlock AllocatePathBlock() { return AllocateHeapBlock(LongestPathUnits * sizeof(wchar_t)); }
