#pragma once

#include <windows.h>

#include "package/PayloadEntries.h"
#include "package/PayloadStream.h"
#include "package/StepResult.h"

// Takes `entry`'s stored bytes from the stream and writes them, inflated
// where they were compressed, to `output`: never more than the entry's
// extracted size. Damaged when its stored bytes are not exactly what it
// says (a zlib stream that ends early, runs over, or leaves bytes after it).
StepResult ExtractEntry(PayloadStream& stream, const PayloadEntry& entry, HANDLE output);
