#pragma once

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <ostream>

#include "process/DetachMarker.h"

// Serialises the two pumps' marker search and console writes.
extern std::mutex OutputMutex;
// The end of the tool's standard output, kept while it is searched for the marker.
extern DetachMarkerWindow CapturedStdout;

// Drains one of the tool's output pipes until it ends, a read fails or is
// cancelled, or DetachEvent is found set after a read. Echoes the output to
// `file`, in order with the console lines the launcher writes through
// `stream`, when WriteToolOutput is set, and then also looks for the detach
// marker when lookForMarker and DetachRequested are.
void PumpOutput(HANDLE pipe, std::wostream& stream, std::FILE* file, bool lookForMarker);
