#pragma once

#include <string>

namespace testing_support {

// A new, empty folder under %TEMP% for one test, deleted with everything in
// it when the holder goes. Path() is empty when it could not be created.
class TempFolder {
 public:
  TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();

  // Ends with a backslash.
  const std::wstring& Path() const { return Folder; }

 private:
  std::wstring Folder;
};

// Creates the folder and any missing folders above it. Full paths only.
bool CreateFolders(const std::wstring& folder);

}  // namespace testing_support
