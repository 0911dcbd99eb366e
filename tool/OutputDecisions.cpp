#include "tool/OutputDecisions.h"

bool WriteToolOutput = false;
bool DetachRequested = false;
