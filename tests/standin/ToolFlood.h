#pragma once

namespace stand_in {

// Writes `bytesPerStream` bytes of numbered lines to stdout and to stderr at
// the same time, one thread per stream, so a reader that drains the streams
// one after the other deadlocks on full pipes.
void FloodBothStreams(unsigned long long bytesPerStream);

// The same numbered lines, to stdout alone.
void FloodStdout(unsigned long long bytes);

}  // namespace stand_in
