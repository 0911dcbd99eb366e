#pragma once

#include "base/UniqueHolder.h"

// What the run sequence decides for the output pumps, and how either side
// tells the other to stop. The flags are written on the main thread before
// the pumps start and only read while they run, so they need no lock.

// Unnamed manual-reset event: set by the standard-output pump on the detach
// marker, or by the main thread when its wait ends other than by the tool's
// exit, both through SignalDetach. Absent when it could not be created;
// detach is off then.
extern mw::UniqueHandle DetachEvent;

// Sets DetachEvent, when there is one, after raising the flag that
// DetachSignaled reads.
void SignalDetach();
// Whether SignalDetach has set DetachEvent. The pumps ask after every read:
// testing the event itself would cost a round trip to the wineserver per read.
bool DetachSignaled();

// Pass the tool's output on to the launcher's console.
extern bool WriteToolOutput;
// Look for the detach marker in the tool's standard output (only while
// WriteToolOutput is set, and only when DetachEvent exists).
extern bool DetachRequested;
