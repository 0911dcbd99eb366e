#pragma once

// What tool preparation decides from the tool's version and the options, for
// the output pumps. Written on the main thread before the pumps start and
// handed to them as their settings, so nothing reads them while they change.

// Pass the tool's output on to the launcher's console.
extern bool WriteToolOutput;
// Look for the detach marker in the tool's standard output (only while
// WriteToolOutput is set, and only when the run has its detach event).
extern bool DetachRequested;
