#include "tests/standin/ToolFlood.h"

#include <string>
#include <thread>

#include "tests/standin/ToolOutput.h"

namespace stand_in {

namespace {

void FloodStream(Stream stream, unsigned long long bytes) {
  const std::string prefix = stream == Stream::Out ? "stdout " : "stderr ";
  constexpr std::size_t ChunkSize = 65536;
  std::string chunk;
  unsigned long long lineNumber = 0;
  while (bytes != 0) {
    while (chunk.size() < ChunkSize) chunk += prefix + std::to_string(++lineNumber) + "\n";
    const std::size_t size = bytes < ChunkSize ? static_cast<std::size_t>(bytes) : ChunkSize;
    WriteOnce(stream, std::string_view(chunk).substr(0, size));
    chunk.erase(0, size);
    bytes -= size;
  }
}

}  // namespace

void FloodBothStreams(unsigned long long bytesPerStream) {
  std::thread errorWriter(FloodStream, Stream::Err, bytesPerStream);
  FloodStream(Stream::Out, bytesPerStream);
  errorWriter.join();
}

void FloodStdout(unsigned long long bytes) { FloodStream(Stream::Out, bytes); }

}  // namespace stand_in
