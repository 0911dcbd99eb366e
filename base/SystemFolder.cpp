#include "base/SystemFolder.h"

UINT SystemFolder(wchar_t (&folder)[MAX_PATH]) {
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length != 0 && length < MAX_PATH) return length;
  folder[0] = L'\0';
  return 0;
}
