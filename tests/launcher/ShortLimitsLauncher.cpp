#include "launcher/RunSequence.h"

// The launcher with a 3-second wait for the tool and 1-second pump joins, so
// tests can reach the time-out and the abandoned joins quickly.
int wmain(int, wchar_t**, wchar_t**) { return RunLauncher(RunLimits{3000, 1000}); }
