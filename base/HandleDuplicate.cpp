#include "base/HandleDuplicate.h"

HANDLE DuplicateInto(HANDLE target, HANDLE handle, DWORD access, bool inheritable) {
  HANDLE duplicate = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, target, &duplicate, access, inheritable ? TRUE : FALSE,
                       access == 0 ? DUPLICATE_SAME_ACCESS : 0)) {
    return nullptr;
  }
  return duplicate;
}
