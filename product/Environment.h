#pragma once

#include <string>

// Narrows PATH to the launcher's folder and the system folder, and keeps the
// caller's PATH in VALCREST_OLD_PATH unless an earlier launcher already did.
// The patching tool inherits both. Runs before the log exists: reports nothing.
void PrepareEnvironment();

// The value the launcher inherited, from the C runtime's copy of the
// environment; empty when unset or unreadable.
std::wstring ReadEnvironmentValue(const wchar_t* name);
