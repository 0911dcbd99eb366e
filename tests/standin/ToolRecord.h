#pragma once

#include <string>

namespace stand_in {

// Writes what this process was started with (command line, current
// directory, environment block) to `recordPath`, replacing what was there.
bool WriteRecord(const std::wstring& recordPath);

}  // namespace stand_in
