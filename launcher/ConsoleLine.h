#pragma once

#include <cstdint>
#include <ostream>

// One console line on a wide standard stream: the text, then end of line and flush.
void WriteConsoleLine(std::wostream& stream, const wchar_t* text);

// The text, the code in decimal, ".", end of line and flush. Callers widen a
// signed 32-bit code (a tool's exit code) or an unsigned one (a wait result)
// themselves, which decides how it prints.
void WriteConsoleLine(std::wostream& stream, const wchar_t* text, std::int64_t code);
