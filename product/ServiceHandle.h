#pragma once

#include <windows.h>

#include "base/UniqueHolder.h"

// Owns one service control manager or service handle.
using ServiceHandle = mw::UniqueHolder<mw::NullEmptyTraits<SC_HANDLE, &CloseServiceHandle>>;
