#pragma once

#include <string>

namespace testing_support {

// Wine settings for one program, by its file name, under
// HKCU\Software\Wine\AppDefaults; removed again when the object ends.
class WineAppDefaults {
 public:
  explicit WineAppDefaults(const std::wstring& exeName);
  WineAppDefaults(const WineAppDefaults&) = delete;
  WineAppDefaults& operator=(const WineAppDefaults&) = delete;
  ~WineAppDefaults();

  // The Windows version the program sees, such as "win7".
  void ReportWindowsVersion(const std::wstring& version);
  // Prefer a DLL of this name from the program's own folder, as Windows's
  // search order would.
  void PreferNativeDll(const std::wstring& dllName);
  // Never load a DLL of this name, as if the system had none.
  void DisableDll(const std::wstring& dllName);

 private:
  std::wstring Key;
};

}  // namespace testing_support
