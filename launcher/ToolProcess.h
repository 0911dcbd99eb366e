#pragma once

#include "process/ChildProcess.h"

// The patching tool's process. The launcher sets no exit listener, so the
// listener's context is never used.
using ToolProcess = ChildProcess<void*>;
