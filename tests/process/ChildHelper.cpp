// A child for the process tests. Its arguments are steps run in order:
//   out TEXT | err TEXT        write TEXT to standard output or error
//   write-to HANDLE TEXT       write TEXT to a handle value given in hex, then
//                              report "written" or "failed" on standard output
//   command-line               write its own command line (UTF-8) to standard output
//   sleep MS | exit CODE       pause; end with a full 32-bit exit code
// It never reads standard input: under Wine that read would block for ever.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string Narrow(const std::wstring& text) {
  std::string utf8(text.size() * 3, '\0');
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                                        static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(bytes));
  return utf8;
}

bool Write(HANDLE handle, const std::string& text) {
  DWORD written = 0;
  return WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  int at = 1;
  auto next = [&]() -> std::wstring { return at < argc ? argv[at++] : L""; };
  while (at < argc) {
    const std::wstring step = next();
    if (step == L"out") {
      Write(out, Narrow(next()));
    } else if (step == L"err") {
      Write(GetStdHandle(STD_ERROR_HANDLE), Narrow(next()));
    } else if (step == L"write-to") {
      const auto handle = reinterpret_cast<HANDLE>(std::wcstoul(next().c_str(), nullptr, 16));
      Write(out, Write(handle, Narrow(next())) ? "written" : "failed");
    } else if (step == L"command-line") {
      Write(out, Narrow(GetCommandLineW()));
    } else if (step == L"sleep") {
      Sleep(std::wcstoul(next().c_str(), nullptr, 10));
    } else if (step == L"exit") {
      ExitProcess(std::wcstoul(next().c_str(), nullptr, 0));
    }
  }
  return 0;
}
