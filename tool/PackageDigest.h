#pragma once

#include <windows.h>

#include <string>

#include "base/UniqueHolder.h"

// The SHA-256 of the file at `path` in lowercase hex, read in bounded pieces;
// empty, with the error in `error`, when it cannot be read or hashed. The
// file stays open in `held`, others sharing it only to read, so that the
// file hashed is the one the tool is given.
std::wstring PackageSha256(const wchar_t* path, mw::UniqueFileHandle& held, DWORD& error);
