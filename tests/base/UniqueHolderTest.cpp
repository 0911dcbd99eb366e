#include "base/UniqueHolder.h"

#include <gtest/gtest.h>

namespace {

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(UniqueHolder, ClosesOnceKeepsTheCallersLastErrorAndHandsOverWithTake) {
  mw::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE first = event.Get();
  ASSERT_TRUE(event);

  const HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetLastError(ERROR_ACCESS_DENIED);
  event.Reset(second);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(IsOpen(first));

  mw::UniqueHandle moved(std::move(event));
  EXPECT_FALSE(event);
  const HANDLE taken = moved.Take();
  EXPECT_FALSE(moved);
  moved.Close();
  EXPECT_TRUE(IsOpen(taken)) << "a taken handle is the taker's to close";
  CloseHandle(taken);
}

TEST(UniqueHolder, AFailedCreateFileOwnsNothing) {
  mw::UniqueFileHandle missing(CreateFileW(L"C:\\no such folder\\no such file", GENERIC_READ, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
  EXPECT_EQ(missing.Get(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(missing);
  SetLastError(ERROR_PATH_NOT_FOUND);
  missing.Close();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(missing.Get(), nullptr);
}

}  // namespace
