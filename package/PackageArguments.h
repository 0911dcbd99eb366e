#pragma once

// The package's own arguments as given: its command line after the program
// name (quoted, up to the closing quote; else up to the first blank) and the
// blanks that follow it. Every switch is kept, /S, /NCRC and /D=... too.
// Points into `commandLine`, or at an empty text when there are none.
const wchar_t* PackageArguments(const wchar_t* commandLine);
