#include "tests/standin/ToolScript.h"

#include <cstdint>
#include <utility>

#include "tests/programs/Utf8Text.h"

namespace stand_in {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Digits only, at least one, no larger than `limit`.
bool ParseNumber(std::string_view digits, unsigned base, unsigned long long limit, unsigned long long& value) {
  if (digits.empty()) return false;
  value = 0;
  for (const char c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return false;
    if (value > (limit - static_cast<unsigned>(digit)) / base) return false;
    value = value * base + static_cast<unsigned>(digit);
  }
  return true;
}

bool ParseExitCode(std::string_view text, DWORD& code) {
  unsigned long long value = 0;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (!ParseNumber(hex ? text.substr(2) : text, hex ? 16 : 10, 0xFFFFFFFFull, value)) return false;
  code = static_cast<DWORD>(value);
  return true;
}

bool Unescape(std::string_view text, std::string& bytes, std::string& error) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes.push_back(text[i]);
      continue;
    }
    const char kind = i + 1 < text.size() ? text[++i] : '\0';
    switch (kind) {
      case '\\': bytes.push_back('\\'); break;
      case 'r': bytes.push_back('\r'); break;
      case 'n': bytes.push_back('\n'); break;
      case '0': bytes.push_back('\0'); break;
      case 'x': {
        const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
        if (low < 0) {
          error = "\\x needs two hex digits";
          return false;
        }
        bytes.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        break;
      }
      default:
        error = "unknown escape";
        return false;
    }
  }
  return true;
}

bool ParseText(std::string_view text, std::string& bytes, std::string& error) {
  if (!Unescape(text, bytes, error)) return false;
  // A zero-byte write reads as end of stream on the other side of a pipe.
  if (bytes.empty()) error = "nothing to write";
  return !bytes.empty();
}

// `pendingTimestamp` carries a timestamp command to the write it applies to.
bool ParseCommand(std::string_view line, std::vector<ScriptCommand>& commands, std::wstring& pendingTimestamp,
                  std::string& error) {
  const std::size_t space = line.find(' ');
  const std::string_view name = line.substr(0, space);
  const std::string_view argument = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
  const bool isWrite = name == "out" || name == "err" || name == "out-or-fail";
  if (!pendingTimestamp.empty() && !isWrite && name != "exit") {
    error = "timestamp must be followed by out, err or exit";
    return false;
  }

  if (isWrite) {
    std::string bytes;
    if (!ParseText(argument, bytes, error)) return false;
    commands.push_back(WriteBytes{name == "err" ? Stream::Err : Stream::Out, std::move(bytes),
                                  std::exchange(pendingTimestamp, {}), name == "out-or-fail"});
    return true;
  }
  if (name == "write-to") {
    const std::size_t gap = argument.find(' ');
    unsigned long long handle = 0;
    std::string bytes;
    if (gap == std::string_view::npos || !ParseNumber(argument.substr(0, gap), 16, UINTPTR_MAX, handle)) {
      error = "write-to needs a hex handle value and text";
      return false;
    }
    if (!ParseText(argument.substr(gap + 1), bytes, error)) return false;
    commands.push_back(WriteToHandle{static_cast<std::uintptr_t>(handle), std::move(bytes)});
    return true;
  }
  if (name == "timestamp" || name == "grandchild") {
    if (argument.empty()) {
      error = "a file name is needed";
      return false;
    }
    if (name == "timestamp") {
      pendingTimestamp = programs::FromUtf8(argument);
    } else {
      commands.push_back(StartGrandchild{programs::FromUtf8(argument)});
    }
    return true;
  }
  unsigned long long number = 0;
  if (name == "sleep") {
    // INFINITE is left out: a stand-in that never ends would hang the test.
    if (!ParseNumber(argument, 10, INFINITE - 1, number)) {
      error = "sleep needs decimal milliseconds below 4294967295";
      return false;
    }
    commands.push_back(SleepFor{static_cast<DWORD>(number)});
    return true;
  }
  if (name == "flood" || name == "flood-out") {
    if (!ParseNumber(argument, 10, ~0ull, number)) {
      error = std::string(name) + " needs a decimal byte count";
      return false;
    }
    commands.push_back(Flood{number, name == "flood-out"});
    return true;
  }
  if (name == "exit") {
    DWORD code = 0;
    if (!ParseExitCode(argument, code)) {
      error = "exit needs a 32-bit code, decimal or 0x hex";
      return false;
    }
    commands.push_back(ExitWith{code, std::exchange(pendingTimestamp, {})});
    return true;
  }
  error = "unknown command";
  return false;
}

}  // namespace

bool ParseScript(std::string_view text, std::vector<ScriptCommand>& commands, std::string& error) {
  commands.clear();
  std::wstring pendingTimestamp;
  for (std::size_t lineNumber = 1; !text.empty(); ++lineNumber) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::string reason;
    if (!ParseCommand(line, commands, pendingTimestamp, reason)) {
      error = "script line " + std::to_string(lineNumber) + ": " + reason;
      commands.clear();
      return false;
    }
  }
  if (!pendingTimestamp.empty()) {
    error = "script ends after a timestamp: no write follows it";
    commands.clear();
    return false;
  }
  return true;
}

}  // namespace stand_in
