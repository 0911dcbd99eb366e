#pragma once

// Restricts DLLs loaded by name at run time, by the package or by the system
// DLLs it uses (the digest's provider among them), to the system folder,
// where the system allows it. Call once, first of all.
//
// base/SystemLibraries.h has the same step, but its file also holds the
// launcher's library loading, which brings the C++ library into any program
// that links it: the package keeps its own copy to stay small.
void RestrictDllSearchOrder();
