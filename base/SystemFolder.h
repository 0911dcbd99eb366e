#pragma once

#include <windows.h>

// The system folder ("C:\Windows\system32"), without a final separator, in
// `folder`; its length, or 0 with `folder` empty when it cannot be read or
// does not fit MAX_PATH.
UINT SystemFolder(wchar_t (&folder)[MAX_PATH]);
