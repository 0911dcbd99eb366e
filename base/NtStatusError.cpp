#include "base/NtStatusError.h"

#include <winternl.h>

DWORD NtStatusError(LONG status) {
  if (status >= 0) return 0;
  const ULONG error = RtlNtStatusToDosError(status);
  // Statuses without a Windows error of their own map to this one.
  return error != 0 ? error : ERROR_MR_MID_NOT_FOUND;
}
