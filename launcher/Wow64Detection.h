#pragma once

// True when this 32-bit process runs on 64-bit Windows, so registry lookups
// must ask for the 64-bit view explicitly.
bool DetectWow64();
