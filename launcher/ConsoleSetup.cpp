#include "launcher/ConsoleSetup.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

void SetConsoleModes() {
  _setmode(_fileno(stdout), _O_U8TEXT);
  _setmode(_fileno(stdin), _O_WTEXT);
  _setmode(_fileno(stderr), _O_U8TEXT);
}
