#include "launcher/ConsoleLine.h"

void WriteConsoleLine(std::wostream& stream, const wchar_t* text) { stream << text << std::endl; }

void WriteConsoleLine(std::wostream& stream, const wchar_t* text, std::int64_t code) {
  stream << text << code << L"." << std::endl;
}
