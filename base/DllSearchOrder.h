#pragma once

#include <windows.h>

// Where the programs' DLLs come from: the system folder only. The programs
// are linked statically and need no DLL of their own folder, which may be a
// shared or download folder where anyone can plant one. Files with no C++
// library in them, so that the patch package's program can take them.
//
// Static imports are resolved before the first line runs; their own
// dependencies (ADVAPI32's forwards to cryptsp.dll, for example) come from
// the system folder too where the system reads the image's load
// configuration (Windows 10 1607 and later; DllSearchOrder.cpp). Only
// libraries the system serves from Known DLLs are imported statically:
// everything else is loaded at run time with LoadSystemLibrary.

// Restricts DLLs loaded by name at run time, by the program or by the system
// DLLs it uses, to the system folder, where the system allows it. Call once,
// on the main thread, first of all.
void RestrictDllSearchOrder();

// Loads `name` (a file name such as L"bcrypt.dll") from the system folder
// and nowhere else; null with the system's error when it cannot.
HMODULE LoadSystemLibrary(const wchar_t* name);

// LoadSystemLibrary's way on systems that reject the search flags (before
// Windows 8 without its update): the file named by its full path in the
// system folder.
HMODULE LoadSystemLibraryByFullPath(const wchar_t* name);
