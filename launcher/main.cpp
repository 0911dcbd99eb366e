#include "launcher/RunSequence.h"

// The options come from SFXCMD, never from the launcher's own arguments.
int wmain(int, wchar_t**, wchar_t**) { return RunLauncher(ShippedRunLimits); }
