#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// Registry views for the uninstall entry: 0 is the process's own view.
inline constexpr REGSAM View64 = KEY_WOW64_64KEY;
inline constexpr REGSAM View32 = KEY_WOW64_32KEY;

// Removes the uninstall entry from both views and the product's service, so
// each test starts from a machine without the product.
void RemoveProductRegistration();

// Writes "InstallLocation" exactly as given: any type, any byte count.
bool SetInstallLocationValue(REGSAM view, DWORD type, const void* data, DWORD byteSize);
// A REG_SZ (or REG_EXPAND_SZ) with its terminator.
bool SetInstallLocation(REGSAM view, const std::wstring& text, DWORD type = REG_SZ);

bool RegisterProductService(const std::wstring& binaryPath);

bool SystemIs64Bit();
// A 32-bit process on 64-bit Windows: its own registry view is the 32-bit one.
bool ProcessIsWow64();

// Removes the product registration when created and when destroyed.
class CleanProductRegistration {
 public:
  CleanProductRegistration() { RemoveProductRegistration(); }
  CleanProductRegistration(const CleanProductRegistration&) = delete;
  CleanProductRegistration& operator=(const CleanProductRegistration&) = delete;
  ~CleanProductRegistration() { RemoveProductRegistration(); }
};

}  // namespace testing_support
