#pragma once

#include "runend/RunLimits.h"

// The launcher's whole run, in its fixed order of steps; returns the process
// exit code.
int RunLauncher(const RunLimits& limits);
