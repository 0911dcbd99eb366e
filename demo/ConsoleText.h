#pragma once

#include <windows.h>

#include <string_view>

// One line of progress for whoever reads the tool's output, usually the
// launcher through a pipe: UTF-8, ending in a bare LF (the launcher's console
// stream turns it into CR LF). `stream` is STD_OUTPUT_HANDLE or
// STD_ERROR_HANDLE. A failed write is ignored: after a detach the launcher
// has closed its end of the pipe, and the patch goes on regardless.
void WriteLine(DWORD stream, std::wstring_view text);
