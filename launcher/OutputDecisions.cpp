#include "launcher/OutputDecisions.h"

bool WriteToolOutput = false;
bool DetachRequested = false;
