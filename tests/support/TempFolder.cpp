#include "tests/support/TempFolder.h"

#include <windows.h>

namespace testing_support {

namespace {

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : Handle(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (Handle != INVALID_HANDLE_VALUE) FindClose(Handle);
  }
  HANDLE Get() const { return Handle; }

 private:
  HANDLE Handle;
};

// Best effort: a file a test left open stays behind with its folders.
void DeleteTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  {
    const FindHandle search(FindFirstFileW((folder + L"*").c_str(), &entry));
    if (search.Get() != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          DeleteTree(path + L"\\");
        } else {
          SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileW(path.c_str());
        }
      } while (FindNextFileW(search.Get(), &entry));
    }
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

TempFolder::TempFolder() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return;
  // Several test processes may run at once; the process id keeps them apart.
  static unsigned counter = 0;
  const std::wstring folder = std::wstring(temp, length) + L"mendora-" + std::to_wstring(GetCurrentProcessId()) +
                              L"-" + std::to_wstring(++counter) + L"\\";
  if (CreateDirectoryW(folder.c_str(), nullptr)) Folder = folder;
}

TempFolder::~TempFolder() {
  if (!Folder.empty()) DeleteTree(Folder);
}

bool CreateFolders(const std::wstring& folder) {
  // Past "C:\", each backslash ends one more level to create.
  for (std::size_t end = folder.find(L'\\', 3);; end = folder.find(L'\\', end + 1)) {
    const std::wstring level = folder.substr(0, end);
    if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (end == std::wstring::npos || end + 1 == folder.size()) return true;
  }
}

}  // namespace testing_support
