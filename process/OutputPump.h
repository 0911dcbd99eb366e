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

// What one pump does with what it reads.
struct PumpSettings {
  bool WriteToolOutput;  // pass the output on to File
  bool LookForMarker;  // and look for the detach marker in it
  // The launcher's wide stream over File: the echo lands in order with the
  // console lines written through it.
  std::wostream& Stream;
  std::FILE* File;
};

// Drains one of the tool's output pipes until it ends, a read fails or is
// cancelled, or the detach signal is found raised after a read; what that
// last read brought goes to the log, not to the console. Output that
// is not echoed is read all the same, so the tool never blocks on a full pipe.
void PumpOutput(HANDLE pipe, const PumpSettings& settings);
