#include "tests/standin/ToolOutput.h"

#include <string>

#include "tests/standin/StandInProtocol.h"

namespace stand_in {

HANDLE StreamHandle(Stream stream) {
  return GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool WriteOnce(Stream stream, std::string_view bytes) {
  DWORD written = 0;
  return WriteFile(StreamHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE;
}

void FailTool(std::string_view reason) {
  WriteOnce(Stream::Err, "StandInTool: " + std::string(reason) + "\n");
  ExitProcess(ToolErrorExitCode);
}

}  // namespace stand_in
