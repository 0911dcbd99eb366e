#pragma once

#include <ostream>

// One console line on a wide standard stream: the text, then end of line and flush.
void WriteConsoleLine(std::wostream& stream, const wchar_t* text);
