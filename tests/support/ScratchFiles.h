#pragma once

#include <string>
#include <vector>

namespace testing_support {

// A new, empty folder for one test under the prefix's temporary folder, with
// no trailing backslash; removed with everything in it when the object ends.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& tag);
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const std::wstring& Path() const { return Folder; }
  std::wstring operator/(const std::wstring& name) const { return Folder + L"\\" + name; }

 private:
  std::wstring Folder;
};

// The names in a folder that match the pattern, without "." and ".."; with
// onlyFolders, only the folders among them.
std::vector<std::wstring> FolderEntries(const std::wstring& folder, const wchar_t* pattern = L"*",
                                        bool onlyFolders = false);

void RemoveTree(const std::wstring& path);
bool CreateFolders(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// The access list of a file or folder as SDDL ("D:..."), as the system reads
// it back; empty when it cannot be read.
std::wstring AccessListText(const std::wstring& path);

}  // namespace testing_support
