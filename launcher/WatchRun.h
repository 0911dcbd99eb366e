#pragma once

#include "launcher/RunLimits.h"

// Whether the command line is the one that starts the watch mode: exactly
// ToolWatchArgument (launcher/WatchHandOver.h). Any other command line is the
// launcher's, which ignores it.
bool IsToolWatchCommand(int argumentCount, const wchar_t* const* arguments);

// The watch mode: takes the hand-over from standard input, keeps the tool's
// output in the run's log until the tool ends, then completes the log, the
// run record and the events; or gives up after limits.WatchGiveUpMs, leaving
// the tool running. Acts only through the handles it was handed, and only
// when they are what a launcher hands over. Returns its exit code.
int RunToolWatch(const RunLimits& limits);
