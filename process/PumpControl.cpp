#include "process/PumpControl.h"

mw::UniqueHandle DetachEvent;
bool WriteToolOutput = false;
bool DetachRequested = false;
