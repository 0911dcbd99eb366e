#include "options/LaunchOptions.h"

#include <windows.h>

#include "base/SystemLibraries.h"
#include "base/UniqueHolder.h"
#include "log/Log.h"

mw::String ReadOptionText() {
  mw::String text;
  const DWORD size = GetEnvironmentVariableW(L"SFXCMD", nullptr, 0);
  if (size == 0) {
    WriteLog(L"[WARNING] sfxcmd variable not found.");
    return text;
  }
  // An empty variable lands here too: it has size 1, and copying it returns 0.
  if (GetEnvironmentVariableW(L"SFXCMD", text.GetBuffer(size), size) == 0) {
    WriteLog(L"[WARNING] error getting sfxcmd variable.");
    text.Release();
    return text;
  }
  text.ReleaseBuffer();
  return text;
}

OptionSet ReadLaunchOptions() {
  mw::String text = ReadOptionText();
  WriteLog(L"[INFO] command line is: %s", text.GetText());
  // The text itself is split, with storage of its own even when SFXCMD gave
  // nothing, so the platform always reads a valid, possibly empty, text.
  if (text.GetCapacity() == 0) text.GetBuffer(64);

  OptionSet options;
  int count = 0;
  // Without an array (memory ran out, or shell32 could not be loaded) the run
  // goes on with no options.
  if (wchar_t** tokens = SystemLibraries::CommandLineToArgvW(text.GetText(), &count)) {
    const mw::LocalMemory heldTokens(tokens);
    ParseOptions(options, count, tokens);
  }
  return options;
}
