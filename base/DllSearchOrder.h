#pragma once

// Restricts DLLs loaded by name at run time, by the program or by the system
// DLLs it uses, to the system folder, where the system allows it. Call once,
// on the main thread, first of all. A file of its own, with no C++ library in
// it, so that the patch package's program can take it without the launcher's
// library loading.
void RestrictDllSearchOrder();
