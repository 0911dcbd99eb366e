#include "launcher/RunSequence.h"
#include "launcher/WatchRun.h"

// The launcher with a 3-second wait for the tool, 1-second pump joins and a
// watch that gives up after 20 seconds, so tests can reach the time-out, the
// abandoned joins and the abandoned watch quickly.
int wmain(int argc, wchar_t** argv, wchar_t**) {
  constexpr RunLimits Short{3000, 1000, 20000};
  return IsToolWatchCommand(argc, argv) ? RunToolWatch(Short) : RunLauncher(Short);
}
