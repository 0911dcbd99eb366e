#include "demo/ConsoleText.h"

#include <string>

void WriteLine(DWORD stream, std::wstring_view text) {
  std::string line;
  if (!text.empty()) {
    const int textLength = static_cast<int>(text.size());
    line.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), textLength, nullptr, 0, nullptr, nullptr)));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), textLength, line.data(), static_cast<int>(line.size()), nullptr,
                        nullptr);
  }
  line += '\n';
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
