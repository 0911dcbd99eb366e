#pragma once

#include <windows.h>

#include <string>

// The SHA-256 of the file at `path` in lowercase hex, read in bounded pieces;
// empty, with the error in `error`, when it cannot be read or hashed.
std::wstring PackageSha256(const wchar_t* path, DWORD& error);
