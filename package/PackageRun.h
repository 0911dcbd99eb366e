#pragma once

#include <windows.h>

// The package's one pass: check the payload, make the staging folder,
// extract, hand the arguments over in SFXCMD, run the launcher. Returns the
// package's exit code.
DWORD RunPackage(const wchar_t* commandLine);
