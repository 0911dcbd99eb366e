#pragma once

#include "base/GuardedString.h"
#include "options/OptionSet.h"

// The value of SFXCMD, through which the self-extracting package hands over
// its own command line; the empty text, after a warning in the log, when the
// variable is missing, empty or unreadable.
mw::String ReadOptionText();

// The options in SFXCMD, split by the platform's command-line rules. Logs the
// option text. The launcher's own arguments are never read.
OptionSet ReadLaunchOptions();
