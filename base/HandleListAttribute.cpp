#include "base/HandleListAttribute.h"

namespace {

// Keeps the failed call's error, but never 0: the package's line must not
// report a failure as success.
bool Failed() {
  if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

}  // namespace

HandleListAttribute::~HandleListAttribute() {
  if (Initialized) DeleteProcThreadAttributeList(List());
}

bool HandleListAttribute::Make(HANDLE* handles, std::size_t count) {
  SIZE_T size = 0;
  // Only asks for the size, so its failure is expected.
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  if (size == 0) return Failed();
  Block = AllocateHeapBlock(size);
  if (!Block) {
    // The heap sets no error of its own.
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  if (!InitializeProcThreadAttributeList(List(), 1, 0, &size)) return Failed();
  Initialized = true;
  return UpdateProcThreadAttribute(List(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, count * sizeof(HANDLE),
                                   nullptr, nullptr) != FALSE;
}
