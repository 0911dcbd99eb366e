// A child for the echo tests: echoes a file's bytes the way an output pump
// does, decoded one read at a time, to its standard output in UTF-8 text
// mode, with console lines of its own before, between and after the reads.
//
//   EchoHelper INPUT stream|echo SIZES [OUTPUT]
//
// SIZES are the read sizes, comma separated, taken in turn. "stream" writes
// each read's text through std::wcout, as the pumps once did; "echo" through
// ConsoleEcho. With OUTPUT, standard output is first reopened onto that file.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "process/ConsoleEcho.h"
#include "process/Utf8Decoder.h"

namespace {

std::vector<std::size_t> ReadSizes(const wchar_t* list) {
  std::vector<std::size_t> sizes;
  for (const wchar_t* at = list; *at != L'\0';) {
    wchar_t* end = nullptr;
    sizes.push_back(std::wcstoul(at, &end, 10));
    at = *end == L',' ? end + 1 : end;
  }
  return sizes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  if (argc > 4 && _wfreopen(argv[4], L"wb", stdout) == nullptr) return 3;
  _setmode(_fileno(stdout), _O_U8TEXT);

  std::ifstream file(argv[1], std::ios::binary);
  const std::string input((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::vector<std::size_t> sizes = ReadSizes(argv[3]);
  if (sizes.empty() || std::find(sizes.begin(), sizes.end(), 0u) != sizes.end()) return 2;
  const bool throughStream = std::wcscmp(argv[2], L"stream") == 0;

  ConsoleEcho echo(std::wcout, stdout);
  auto write = [&](const std::wstring& text) {
    if (!throughStream) {
      echo.Write(text);
    } else if (!text.empty()) {
      std::wcout.write(text.data(), static_cast<std::streamsize>(text.size()));
      std::wcout.flush();
    }
  };

  std::wcout << L"first line" << std::endl;
  Utf8Decoder decoder;
  std::wstring text;
  std::size_t at = 0;
  for (std::size_t read = 0; at < input.size(); ++read) {
    // Left in the stream's buffer: the echo must not overtake it.
    if (read == 1) std::wcout << L"unflushed ";
    const std::size_t size = std::min(sizes[read % sizes.size()], input.size() - at);
    decoder.Decode(input.data() + at, size, text);
    write(text);
    at += size;
  }
  decoder.Finish(text);
  write(text);
  std::wcout << L"last line" << std::endl;
  return 0;
}
