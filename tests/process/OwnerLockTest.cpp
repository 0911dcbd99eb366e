#include "process/OwnerLock.h"

#include <gtest/gtest.h>

#include <system_error>

#include "base/UniqueHolder.h"

namespace {

DWORD WINAPI LockAndUnlock(void* lock) {
  static_cast<OwnerLock*>(lock)->Lock();
  static_cast<OwnerLock*>(lock)->Unlock();
  return 0;
}

TEST(OwnerLock, RelockByItsOwnerRaisesDeadlockErrorAndKeepsTheLock) {
  OwnerLock lock;
  lock.Lock();
  try {
    lock.Lock();
    ADD_FAILURE() << "relock went through";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code(), std::make_error_code(std::errc::resource_deadlock_would_occur));
    EXPECT_EQ(error.code().value(), 36);
    EXPECT_EQ(&error.code().category(), &std::generic_category());
  }

  // Still held once, by this thread: another thread gets in after one unlock.
  const mw::UniqueHandle other(CreateThread(nullptr, 0, &LockAndUnlock, &lock, 0, nullptr));
  ASSERT_TRUE(other);
  EXPECT_EQ(WaitForSingleObject(other.Get(), 300), static_cast<DWORD>(WAIT_TIMEOUT));
  lock.Unlock();
  EXPECT_EQ(WaitForSingleObject(other.Get(), 10000), WAIT_OBJECT_0);

  lock.Lock();  // the owner was forgotten at unlock
  lock.Unlock();
}

}  // namespace
