#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tests/standin/ToolOutput.h"

// The stand-in's script: UTF-8 text, one command per line, LF or CR LF ends
// a line. Blank lines and lines starting with '#' are skipped. A command is
// its name, then (when it takes one) a single space and the argument, which
// runs to the end of the line, blanks included:
//
//   out <text>         one WriteFile of <text> to stdout, nothing added
//   err <text>         the same to stderr
//   out-or-fail <text> the same as out, but a failed write (the reader is
//                      gone) ends the tool with WriteFailedExitCode
//   write-to <handle> <text>
//                      one WriteFile of <text> to the handle with this value,
//                      in hex (one the tool was meant to inherit, or not),
//                      then "written" or "failed" to stdout
//   timestamp <file>   the next command, which must be out, err or exit,
//                      stores the QueryPerformanceCounter value taken just
//                      before its WriteFile (or its exit) into <file>, in
//                      decimal: after the write, or before the exit
//   sleep <ms>         decimal milliseconds
//   flood <bytes>      <bytes> bytes of numbered lines ("stdout 1\n", ...) to
//                      stdout and, from a second thread at the same time,
//                      ("stderr 1\n", ...) to stderr; the last line may be cut
//   flood-out <bytes>  the same numbered lines to stdout only
//   grandchild <file>  starts this exe again, following script <file>, with
//                      stdout and stderr inherited; does not wait for it
//   exit <code>        exits with the code: decimal, or hex after "0x"
//
// Running off the end exits with 0. In <text>, "\r", "\n", "\0", "\xHH" (two
// hex digits) and "\\" stand for those bytes; every other byte is written as
// it is. Any other backslash is an error.
namespace stand_in {

struct WriteBytes {
  Stream Target;
  std::string Bytes;
  std::wstring TimestampFile;  // empty: no time recorded
  bool ExitOnFailure = false;
};
struct WriteToHandle {
  std::uintptr_t Handle;
  std::string Bytes;
};
struct SleepFor {
  DWORD Milliseconds;
};
struct Flood {
  unsigned long long BytesPerStream;
  bool StdoutOnly;
};
struct StartGrandchild {
  std::wstring ScriptFile;
};
struct ExitWith {
  DWORD Code;
  std::wstring TimestampFile;  // empty: no time recorded
};

using ScriptCommand = std::variant<WriteBytes, WriteToHandle, SleepFor, Flood, StartGrandchild, ExitWith>;

// The whole script is checked before any of it runs, so a test never sees
// half a run from a bad script. On failure `error` names the line and why.
bool ParseScript(std::string_view text, std::vector<ScriptCommand>& commands, std::string& error);

}  // namespace stand_in
