#include "launcher/ConsoleLine.h"

void WriteConsoleLine(std::wostream& stream, const wchar_t* text) { stream << text << std::endl; }
