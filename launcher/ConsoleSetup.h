#pragma once

// Standard output and error write UTF-8 through the wide streams; standard
// input reads wide text.
void SetConsoleModes();
