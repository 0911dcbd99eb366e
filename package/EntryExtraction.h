#pragma once

#include <windows.h>

#include "package/PackageFile.h"
#include "package/PayloadEntries.h"

// How writing one entry into the staging folder ended.
struct ExtractionResult {
  enum class Outcome { Written, Damaged, WriteFailed };
  Outcome Result = Outcome::Written;
  DWORD Error = 0;  // the system's, for WriteFailed
};

// Writes `entry` as a new file in `folder`, streaming it in bounded pieces
// and inflating what was compressed. Damaged when its stored bytes do not
// inflate to exactly its size.
ExtractionResult ExtractEntry(const PackageFile& file, const PayloadEntry& entry, const wchar_t* folder);
