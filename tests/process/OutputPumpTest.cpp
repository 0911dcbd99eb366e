// One output pump over a real pipe, in this process: the test writes what a
// tool would, and the echo goes to a file. Each run arms a fresh detach
// signal, so the cases hold in any order within one process.

#include "process/OutputPump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>

#include "base/UniqueHolder.h"
#include "process/DetachSignal.h"
#include "tests/support/ScratchFiles.h"

namespace {

constexpr DWORD PatienceMs = 20000;

class PumpRun {
 public:
  PumpRun(bool writeToolOutput, bool lookForMarker) : Scratch(L"pump"), EchoPath(Scratch / L"echo.txt") {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    CreatePipe(&read, &write, nullptr, 0);
    Read.Reset(read);
    WriteEnd.Reset(write);
    ArmDetachSignal();
    EchoFile = _wfopen(EchoPath.c_str(), L"wb");
    Pump = std::thread([this, writeToolOutput, lookForMarker] {
      PumpOutput(Read.Get(), PumpSettings{writeToolOutput, lookForMarker, Stream, EchoFile});
      Ended = true;
    });
  }
  PumpRun(const PumpRun&) = delete;
  PumpRun& operator=(const PumpRun&) = delete;
  ~PumpRun() {
    WriteEnd.Close();
    Pump.join();
    if (EchoFile != nullptr) std::fclose(EchoFile);
  }

  bool Write(const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(WriteEnd.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
  }
  void CloseWriteEnd() { WriteEnd.Close(); }
  void CloseReadEnd() { Read.Close(); }

  std::string Echoed() const { return testing_support::ReadFileBytes(EchoPath); }
  bool WaitForEcho(const std::string& expected) const { return WaitFor([&] { return Echoed() == expected; }); }
  bool WaitForEnd() const { return WaitFor([&] { return Ended.load(); }); }

  template <typename Condition>
  static bool WaitFor(Condition condition) {
    for (DWORD waited = 0; waited < PatienceMs; waited += 10) {
      if (condition()) return true;
      Sleep(10);
    }
    return condition();
  }

 private:
  testing_support::ScratchFolder Scratch;
  std::wstring EchoPath;
  std::FILE* EchoFile = nullptr;
  std::wostringstream Stream;
  mw::UniqueHandle Read;
  mw::UniqueHandle WriteEnd;
  std::atomic<bool> Ended = false;
  std::thread Pump;
};

// More than a pipe holds: a pump that stopped reading would leave the writer stuck.
TEST(OutputPump, DrainsEverythingWithTheEchoOff) {
  PumpRun run(false, true);
  std::atomic<bool> written = false;
  std::thread writer([&] { written = run.Write(std::string(4 * 1024 * 1024, 'x') + "Patch validation finished\n"); });
  const bool drained = PumpRun::WaitFor([&] { return written.load(); });
  // A writer left stuck is freed by closing the read end, so the test ends either way.
  if (!drained) run.CloseReadEnd();
  writer.join();
  EXPECT_TRUE(drained);
  run.CloseWriteEnd();
  EXPECT_TRUE(run.WaitForEnd());
  EXPECT_EQ(run.Echoed(), "");
  EXPECT_FALSE(DetachSignaled()) << "without the echo there is no marker search";
}

TEST(OutputPump, FindsAMarkerSplitAcrossTwoWrites) {
  PumpRun run(true, true);
  ASSERT_TRUE(run.Write("Patch valid"));
  ASSERT_TRUE(run.WaitForEcho("Patch valid")) << "the first half must be read on its own";
  EXPECT_FALSE(DetachSignaled());
  ASSERT_TRUE(run.Write("ation finished\n"));
  EXPECT_EQ(WaitForSingleObject(DetachEvent.Get(), PatienceMs), WAIT_OBJECT_0);
  EXPECT_TRUE(DetachSignaled());
  EXPECT_TRUE(run.WaitForEcho("Patch validation finished\r\n"));
}

TEST(OutputPump, DropsWhatComesAfterTheMarkerAndEndsAtTheNextRead) {
  PumpRun run(true, true);
  ASSERT_TRUE(run.Write("checked\nPatch validation finished\n"));
  ASSERT_EQ(WaitForSingleObject(DetachEvent.Get(), PatienceMs), WAIT_OBJECT_0);
  ASSERT_TRUE(run.Write("applying\n"));
  EXPECT_TRUE(run.WaitForEnd()) << "the pump ends while the tool still holds its end of the pipe";
  EXPECT_EQ(run.Echoed(), "checked\r\nPatch validation finished\r\n");
}

}  // namespace
