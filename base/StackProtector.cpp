// The stack cookie and its failure routines that -fstack-protector-strong and
// _FORTIFY_SOURCE call, in place of the compiler's libssp. libssp fills its
// cookie from CryptGenRandom in a constructor, before wmain: that loads the
// cryptographic provider and the DLLs it needs by name, while the
// application's folder still comes first in the DLL search, so a DLL planted
// beside the program would be loaded before it can restrict the search. Here
// the cookie comes from values kernel32 gives without loading anything, as
// the Windows compilers' own cookies do; and a failure ends the process at
// once, with the fail-fast code for an overwritten cookie.

#include <windows.h>

#include <cstdint>

extern "C" {

// A start value for anything that runs before the constructor below; the low
// byte is zero, so a string copy that runs over the cookie stops at it.
std::uintptr_t __stack_chk_guard = static_cast<std::uintptr_t>(0x5A17C3E9D4B68F00ull);

[[noreturn]] void __stack_chk_fail() {
  OutputDebugStringA("Mendora: stack cookie overwritten; the process ends.");
  __asm__ volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE) : "memory");
  __builtin_unreachable();
}

// A checked buffer call (_FORTIFY_SOURCE) found its destination too small.
[[noreturn]] void __chk_fail() {
  OutputDebugStringA("Mendora: buffer overflow caught; the process ends.");
  __asm__ volatile("int $0x29" : : "c"(FAST_FAIL_RANGE_CHECK_FAILURE) : "memory");
  __builtin_unreachable();
}

}  // extern "C"

namespace {

// Not protected itself: it changes the cookie its own frame would be checked against.
__attribute__((constructor(101), no_stack_protector)) void SetStackCookie() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  std::uint64_t cookie = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  cookie ^= static_cast<std::uint64_t>(counter.QuadPart);
  cookie ^= static_cast<std::uint64_t>(GetCurrentProcessId()) << 16;
  cookie ^= static_cast<std::uint64_t>(GetCurrentThreadId()) << 40;
  cookie ^= GetTickCount64() << 24;
  cookie ^= reinterpret_cast<std::uintptr_t>(&cookie);  // where the stack lies differs on every run
  cookie ^= cookie >> 29;
  cookie *= 0xBF58476D1CE4E5B9ull;
  cookie ^= cookie >> 32;
  __stack_chk_guard = static_cast<std::uintptr_t>(cookie) & ~static_cast<std::uintptr_t>(0xFF);
  if (__stack_chk_guard == 0) __stack_chk_guard = static_cast<std::uintptr_t>(0x5A17C3E9D4B68F00ull);
}

}  // namespace
