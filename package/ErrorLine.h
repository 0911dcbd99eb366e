#pragma once

// One line on standard error: UTF-8 with CR LF, as the launcher writes its
// own, or the console's own characters when standard error is a console.
// `format` and what follows are _snwprintf_s's (%ls a wide text, %hs an
// ASCII one, %lu a DWORD); a line longer than any the package writes is cut.
void WriteErrorLine(const wchar_t* format, ...);
