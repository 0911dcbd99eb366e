#include "launcher/RunSequence.h"
#include "runend/FinisherRun.h"

// The launcher with a 3-second wait for the tool, 1-second pump joins, a
// finisher that gives up logging after 8 seconds and a log that keeps 64 KiB
// of the tool's lines, so tests reach the time-out, the abandoned joins, the
// give-up and the cap quickly.
int wmain(int argc, wchar_t** argv, wchar_t**) {
  constexpr RunLimits Short{3000, 1000, 8000, 64 * 1024};
  return IsFinisherCommand(argc, argv) ? RunFinisher(Short) : RunLauncher(Short);
}
