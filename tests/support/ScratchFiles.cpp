#include "tests/support/ScratchFiles.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "tests/standin/ToolFiles.h"

namespace testing_support {

ScratchFolder::ScratchFolder(const std::wstring& tag) {
  static unsigned counter = 0;
  wchar_t temp[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  Folder = std::wstring(temp, length) + L"mendora-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
  RemoveTree(Folder);
  CreateFolders(Folder);
}

ScratchFolder::~ScratchFolder() { RemoveTree(Folder); }

void RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
    return;
  }
  for (const std::wstring& name : FolderEntries(path)) RemoveTree(path + L"\\" + name);
  RemoveDirectoryW(path.c_str());
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder, const wchar_t* pattern, bool onlyFolders) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const bool separated = !folder.empty() && folder.back() == L'\\';
  HANDLE search = FindFirstFileW((folder + (separated ? L"" : L"\\") + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (!onlyFolders || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

bool CreateFolders(const std::wstring& path) {
  for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) { return stand_in::WriteWholeFile(path, bytes); }

std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  stand_in::ReadWholeFile(path, bytes);
  return bytes;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring AccessListText(const std::wstring& path) {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                            nullptr, &security) != ERROR_SUCCESS) {
    return {};
  }
  wchar_t* text = nullptr;
  std::wstring result;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(security, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                           &text, nullptr)) {
    result = text;
    LocalFree(text);
  }
  LocalFree(security);
  return result;
}

}  // namespace testing_support
