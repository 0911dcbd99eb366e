#pragma once

#include <string>
#include <string_view>

namespace stand_in {

// False with the last error of the step that failed (ERROR_FILE_NOT_FOUND
// for a missing file).
bool ReadWholeFile(const std::wstring& path, std::string& bytes);

// Creates or overwrites the file with exactly these bytes.
bool WriteWholeFile(const std::wstring& path, std::string_view bytes);

}  // namespace stand_in
