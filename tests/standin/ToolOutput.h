#pragma once

#include <windows.h>

#include <string_view>

namespace stand_in {

enum class Stream { Out, Err };

HANDLE StreamHandle(Stream stream);

// One WriteFile call, so two calls reach the reader as two writes; whether
// it wrote. A failed write (a reader that went away) is the reader's
// business, not the tool's, unless its script says otherwise.
bool WriteOnce(Stream stream, std::string_view bytes);

// Says on stderr why the tool gives up, then exits with ToolErrorExitCode.
[[noreturn]] void FailTool(std::string_view reason);

}  // namespace stand_in
