#pragma once

// Standard output and error write UTF-8 through the wide streams; standard
// input reads wide text.
void SetConsoleModes();

// Restricts DLLs loaded by name at run time, by the launcher or by the system
// DLLs it uses, to the system folder, where the system allows it.
void RestrictDllSearchOrder();
