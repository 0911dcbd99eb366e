#include "launcher/RunSequence.h"
#include "runend/FinisherRun.h"

// The options come from SFXCMD, never from the launcher's own arguments; only
// the one argument a launcher gives its finisher selects the finisher.
int wmain(int argc, wchar_t** argv, wchar_t**) {
  return IsFinisherCommand(argc, argv) ? RunFinisher(ShippedRunLimits) : RunLauncher(ShippedRunLimits);
}
