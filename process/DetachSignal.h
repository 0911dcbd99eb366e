#pragma once

#include "base/UniqueHolder.h"

// How the output pumps and the run sequence tell each other to stop.

// Unnamed manual-reset event: set by the standard-output pump on the detach
// marker, or by the main thread when its wait ends other than by the tool's
// exit, both through SignalDetach. Absent when it could not be created;
// detach is off then.
extern mw::UniqueHandle DetachEvent;

// Makes a new, unset DetachEvent and lowers the flag, before any pump starts.
// False, with GetLastError set, when the event could not be made.
bool ArmDetachSignal();

// Sets DetachEvent, when there is one, after raising the flag that
// DetachSignaled reads.
void SignalDetach();
// Whether SignalDetach has set DetachEvent. The pumps ask after every read:
// testing the event itself would cost a round trip to the wineserver per read.
bool DetachSignaled();
