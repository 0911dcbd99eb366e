#include "process/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

mw::UniqueHandle NewEvent() { return mw::UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

TEST(WorkerThread, JoinOfANeverStartedWorkerReturnsZeroAtOnce) {
  WorkerThread worker;
  EXPECT_EQ(worker.Join(std::nullopt), 0u);
  EXPECT_EQ(worker.Join(0), 0u);
}

TEST(WorkerThread, TimedOutJoinForgetsTheThreadAndLeavesItRunning) {
  const auto release = NewEvent();
  const auto started = NewEvent();
  HANDLE task = nullptr;
  {
    WorkerThread worker;
    ASSERT_EQ(worker.Start([&] {
      DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &task, SYNCHRONIZE, FALSE, 0);
      SetEvent(started.Get());
      WaitForSingleObject(release.Get(), 10000);
    }), 0u);
    ASSERT_EQ(WaitForSingleObject(started.Get(), 10000), WAIT_OBJECT_0);
    const ULONGLONG before = GetTickCount64();
    EXPECT_EQ(worker.Join(300), static_cast<DWORD>(ERROR_FUNCTION_FAILED));
    EXPECT_GE(GetTickCount64() - before, 250u);
    // Empty now: this join does not wait for the thread that still runs.
    EXPECT_EQ(worker.Join(std::nullopt), 0u);
    EXPECT_EQ(WaitForSingleObject(task, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  }  // destroying the emptied worker must not end the program
  SetEvent(release.Get());
  // Waits for the thread's very end, not just its last line: a thread still
  // leaving while the test program exits can crash the runtime's teardown.
  const mw::UniqueHandle thread(task);
  EXPECT_EQ(WaitForSingleObject(thread.Get(), 10000), WAIT_OBJECT_0);
}

TEST(WorkerThread, JoinWithoutOrBeyondA32BitLimitWaitsForTheEnd) {
  for (const std::optional<std::uint64_t> timeout : {std::optional<std::uint64_t>{}, std::optional{1ULL << 32}}) {
    WorkerThread worker;
    std::atomic<bool> ended = false;
    ASSERT_EQ(worker.Start([&] {
      Sleep(200);
      ended = true;
    }), 0u);
    EXPECT_EQ(worker.Join(timeout), 0u);
    EXPECT_TRUE(ended);
  }
}

TEST(WorkerThread, OfTwoOverlappingJoinsOnlyTheOneHoldingTheThreadWaits) {
  WorkerThread worker;
  const auto release = NewEvent();
  ASSERT_EQ(worker.Start([&] { WaitForSingleObject(release.Get(), 10000); }), 0u);
  constexpr DWORD Pending = 0xFFFFFFFF;
  std::atomic<DWORD> results[2] = {Pending, Pending};
  std::thread first([&] { results[0] = worker.Join(std::nullopt); });
  std::thread second([&] { results[1] = worker.Join(std::nullopt); });

  const ULONGLONG deadline = GetTickCount64() + 5000;
  while (results[0] == Pending && results[1] == Pending && GetTickCount64() < deadline) Sleep(10);
  EXPECT_NE(results[0] == 0, results[1] == 0) << "exactly one join returns while the thread runs";
  EXPECT_NE(results[0] == Pending, results[1] == Pending);

  SetEvent(release.Get());
  first.join();
  second.join();
  EXPECT_EQ(results[0], 0u);
  EXPECT_EQ(results[1], 0u);
}

TEST(WorkerThread, StartRunsTheNewTaskOnlyAfterThePreviousThreadEnded) {
  WorkerThread worker;
  std::atomic<bool> firstEnded = false;
  std::atomic<bool> secondSawFirstEnded = false;
  ASSERT_EQ(worker.Start([&] {
    Sleep(300);
    firstEnded = true;
  }), 0u);
  ASSERT_EQ(worker.Start([&] { secondSawFirstEnded = firstEnded.load(); }), 0u);
  EXPECT_EQ(worker.Join(10000), 0u);
  EXPECT_TRUE(secondSawFirstEnded);

  // A thread that ended without a join is no obstacle either.
  const auto ran = NewEvent();
  ASSERT_EQ(worker.Start([&] { SetEvent(ran.Get()); }), 0u);
  ASSERT_EQ(WaitForSingleObject(ran.Get(), 10000), WAIT_OBJECT_0);
  const auto ranAgain = NewEvent();
  ASSERT_EQ(worker.Start([&] { SetEvent(ranAgain.Get()); }), 0u);
  EXPECT_EQ(WaitForSingleObject(ranAgain.Get(), 10000), WAIT_OBJECT_0);
  EXPECT_EQ(worker.Join(10000), 0u);
}

TEST(WorkerThread, TheThreadDestroysItsOwnCopyOfTheTaskAfterTheCall) {
  struct Probe {
    explicit Probe(std::atomic<DWORD>& destroyedOn) : DestroyedOn(destroyedOn) {}
    ~Probe() { DestroyedOn = GetCurrentThreadId(); }
    std::atomic<DWORD>& DestroyedOn;
  };
  std::atomic<DWORD> destroyedOn = 0;
  std::atomic<DWORD> ranOn = 0;
  const auto go = NewEvent();
  auto probe = std::make_shared<Probe>(destroyedOn);
  WorkerThread worker;
  ASSERT_EQ(worker.Start([probe, &ranOn, &go] {
    WaitForSingleObject(go.Get(), 10000);
    ranOn = GetCurrentThreadId();
  }), 0u);
  probe.reset();  // only the thread's copy holds it now
  EXPECT_EQ(destroyedOn, 0u);
  SetEvent(go.Get());
  EXPECT_EQ(worker.Join(10000), 0u);
  EXPECT_NE(ranOn, GetCurrentThreadId());
  EXPECT_EQ(destroyedOn, ranOn);
}

// std::terminate ends in abort, whose exit code is 3; its message does not
// always reach the death test's pipe under Wine.
constexpr int AbortExitCode = 3;

TEST(WorkerThreadDeathTest, DestroyingAWorkerThatHoldsAThreadEndsTheProgram) {
  EXPECT_EXIT(
      {
        WorkerThread worker;
        worker.Start([] { Sleep(60000); });
      },
      testing::ExitedWithCode(AbortExitCode), "");
}

}  // namespace
