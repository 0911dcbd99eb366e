#pragma once

#include "runend/RunLimits.h"

// Whether the command line is the one that starts the finisher: exactly
// FinisherArgument (runend/FinisherHandOver.h). Any other command line is the
// launcher's, which ignores it.
bool IsFinisherCommand(int argumentCount, const wchar_t* const* arguments);

// The finisher: the launcher's own image, started just before the tool. It
// holds the read ends of the tool's pipes from before the tool exists, so
// whatever ends the launcher (its own exit after a detach, a time-out or a
// failed wait; TerminateProcess, a crash, a closed console) the tool's writes
// never fail and its end is never lost. It takes the hand-over from standard
// input and waits, without reading anything, while the launcher lives. When the tool ends first, as
// it mostly does, the launcher records the end and the finisher ends writing
// nothing. When the launcher ends first, whatever ended it, the finisher
// reads the tool's pipes from then on, keeps the tool's lines in the run's
// log (at most limits.ToolLogBytes of them) and writes the tool's end to the
// log, the run record and the event log; after limits.FinisherGiveUpMs it
// stops logging but goes on reading until the tool ends. A launcher stopped
// before it recorded the end is told apart by its missing end note, and the
// finisher then writes what the launcher did not. Acts only through the
// handles it was handed, and only when they are what a launcher hands over.
// Returns its exit code.
int RunFinisher(const RunLimits& limits);
