#pragma once

#include <windows.h>

#include <string>

// Where an open file or folder really is, links on the way resolved, as a
// plain DOS path ("C:\...", "\\server\share\..."); empty when it cannot be
// read.
std::wstring FinalPathOf(HANDLE object);
