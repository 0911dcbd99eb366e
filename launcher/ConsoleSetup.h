#pragma once

// Standard output and error write UTF-8 through the wide streams; standard
// input reads wide text.
void SetConsoleModes();

// Takes the application folder and the current folder out of the DLL search
// path where the system allows it.
void RestrictDllSearchOrder();
