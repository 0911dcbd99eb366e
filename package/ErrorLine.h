#pragma once

#include <string>

// One line on standard error: UTF-8 with CR LF, as the launcher writes its
// own, or the console's own characters when standard error is a console.
void WriteErrorLine(const std::wstring& text);
