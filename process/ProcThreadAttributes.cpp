#include "process/ProcThreadAttributes.h"

#include <cstring>
#include <utility>

ProcThreadAttributes::ProcThreadAttributes(DWORD count) {
  SIZE_T size = 0;
  // Only asks for the size, so its failure is expected.
  InitializeProcThreadAttributeList(nullptr, count, 0, &size);
  ListBuffer.resize(size);
  if (size == 0 || !InitializeProcThreadAttributeList(Buffer(), count, 0, &size)) {
    // Never zero, so a list that was not made cannot pass for one that was.
    InitializeError = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_INVALID_PARAMETER;
  }
}

ProcThreadAttributes::~ProcThreadAttributes() {
  if (InitializeError == ERROR_SUCCESS) DeleteProcThreadAttributeList(Buffer());
}

bool ProcThreadAttributes::Set(DWORD_PTR attribute, const void* bytes, std::size_t length) {
  if (InitializeError != ERROR_SUCCESS) {
    SetLastError(InitializeError);
    return false;
  }
  std::vector<std::byte> copy(length);
  if (length != 0) std::memcpy(copy.data(), bytes, length);
  // The list keeps pointing at the value it holds, so the old copy may only go
  // once the system has taken the new one; moving the vector keeps its data in place.
  if (!UpdateProcThreadAttribute(Buffer(), 0, attribute, copy.data(), copy.size(), nullptr, nullptr)) return false;
  Values.insert_or_assign(attribute, std::move(copy));
  return true;
}

LPPROC_THREAD_ATTRIBUTE_LIST ProcThreadAttributes::List() {
  return InitializeError == ERROR_SUCCESS ? Buffer() : nullptr;
}

LPPROC_THREAD_ATTRIBUTE_LIST ProcThreadAttributes::Buffer() {
  return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(ListBuffer.data());
}
