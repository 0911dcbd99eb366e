#include "log/TrustedObject.h"

#include <aclapi.h>

mw::LocalMemory ReadOwner(HANDLE object) {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                      &security) != ERROR_SUCCESS) {
    return {};
  }
  return mw::LocalMemory(security);
}
