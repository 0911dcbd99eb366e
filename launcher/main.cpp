#include "launcher/RunSequence.h"
#include "launcher/WatchRun.h"

// The options come from SFXCMD, never from the launcher's own arguments; only
// the one argument a launcher gives its watch selects the watch mode.
int wmain(int argc, wchar_t** argv, wchar_t**) {
  return IsToolWatchCommand(argc, argv) ? RunToolWatch(ShippedRunLimits) : RunLauncher(ShippedRunLimits);
}
