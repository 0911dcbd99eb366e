#include "base/PathString.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/ScratchFiles.h"

namespace {

using mw::PathString;
using testing_support::FileExists;
using testing_support::FolderExists;
using testing_support::ScratchFolder;

std::wstring Text(const mw::String& s) { return std::wstring(s.GetText(), s.GetLength()); }

bool TextIsInside(const PathString& path) {
  const auto* begin = reinterpret_cast<const std::byte*>(&path);
  const auto* text = reinterpret_cast<const std::byte*>(path.GetText());
  return text >= begin && text < begin + sizeof path;
}

struct JoinRow {
  const wchar_t* Path;
  const wchar_t* Component;
  const wchar_t* Expected;
};

TEST(PathString, JoinPathPutsExactlyOneSeparatorBetween) {
  const JoinRow rows[] = {
      {L"C:\\ProgramData", L"Rivlet", L"C:\\ProgramData\\Rivlet"},
      {L"C:\\a\\", L"\\b", L"C:\\a\\b"},
      {L"C:/a/", L"b", L"C:/a/b"},
      {L"C:\\a", L"//\\b\\c", L"C:\\a\\b\\c"},
      {L"", L"\\b", L"b"},
      {L"C:\\a", L"\\", L"C:\\a\\"},
      {L"C:\\a", L"", L"C:\\a"},
      {L"C:\\a", nullptr, L"C:\\a"},
  };
  for (const auto& row : rows) {
    PathString path(row.Path);
    EXPECT_TRUE(path.JoinPath(row.Component));
    EXPECT_EQ(Text(path), row.Expected) << row.Path << L" + " << (row.Component ? row.Component : L"(null)");
  }
}

TEST(PathString, KeepsUpTo260UnitsInsideTheObject) {
  PathString path;
  EXPECT_EQ(path.GetLength(), 0u);
  EXPECT_EQ(path.GetCapacity(), 260u);
  EXPECT_TRUE(TextIsInside(path));

  const std::wstring full(260, L'p');
  path = full.c_str();
  EXPECT_TRUE(TextIsInside(path));
  EXPECT_EQ(path.GetCapacity(), 260u);

  path.Append(L"q");
  EXPECT_FALSE(TextIsInside(path));
  EXPECT_EQ(path.GetCapacity(), 520u);
  EXPECT_EQ(Text(path), full + L"q");
  path.CheckGuards();

  PathString longer;
  longer = std::wstring(600, L'r').c_str();
  EXPECT_EQ(longer.GetCapacity(), 600u);
}

TEST(PathString, CopiesGetStorageOfTheirOwn) {
  PathString original(L"C:\\dir");
  PathString copy(original);
  EXPECT_TRUE(TextIsInside(copy));
  copy.JoinPath(L"file");
  EXPECT_EQ(Text(original), L"C:\\dir");
  EXPECT_EQ(Text(copy), L"C:\\dir\\file");

  PathString big(std::wstring(300, L'x').c_str());
  PathString bigCopy(big);
  EXPECT_EQ(Text(bigCopy), std::wstring(300, L'x'));
  EXPECT_NE(bigCopy.GetText(), big.GetText());

  const mw::String withZero(L"ab");
  PathString fromString(withZero);
  EXPECT_EQ(Text(fromString), L"ab");
}

TEST(PathString, MovingOutOfAPathCopiesInsteadOfTakingItsStorage) {
  mw::String target;
  {
    PathString inlinePath(L"C:\\inline");
    target.MoveFrom(inlinePath);
    PathString heapPath(std::wstring(300, L'h').c_str());
    mw::String second;
    second.MoveFrom(heapPath);
    EXPECT_EQ(second.GetLength(), 300u);
  }  // both path objects are gone; the targets must not point into them
  EXPECT_EQ(Text(target), L"C:\\inline");
  target.CheckGuards();
}

TEST(PathString, CreateDirectoryRecursiveCreatesEveryMissingLevel) {
  ScratchFolder scratch(L"dirs");
  PathString nested((scratch / L"one\\two\\three").c_str());
  EXPECT_TRUE(nested.CreateDirectoryRecursive());
  EXPECT_TRUE(FolderExists(scratch / L"one\\two\\three"));

  PathString trailing((scratch / L"four\\").c_str());
  EXPECT_TRUE(trailing.CreateDirectoryRecursive());
  EXPECT_TRUE(FolderExists(scratch / L"four"));

  EXPECT_TRUE(nested.CreateDirectoryRecursive());  // exists already
}

TEST(PathString, CreateDirectoryRecursiveAcceptsAnExistingFileAsIs) {
  ScratchFolder scratch(L"file");
  ASSERT_TRUE(testing_support::WriteFileBytes(scratch / L"taken", "x"));
  PathString path((scratch / L"taken").c_str());
  EXPECT_TRUE(path.CreateDirectoryRecursive());
  EXPECT_TRUE(FileExists(scratch / L"taken"));
}

TEST(PathString, CreateDirectoryRecursiveFailsOnAMissingDrive) {
  const DWORD drives = GetLogicalDrives();
  wchar_t letter = L'\0';
  for (wchar_t candidate = L'Y'; candidate > L'D'; --candidate) {
    if (!(drives & (1u << (candidate - L'A')))) {
      letter = candidate;
      break;
    }
  }
  ASSERT_NE(letter, L'\0');
  PathString path((std::wstring(1, letter) + L":\\no\\such\\folder").c_str());
  EXPECT_FALSE(path.CreateDirectoryRecursive());
}

}  // namespace
