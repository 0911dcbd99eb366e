#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bench/ResultTable.h"
#include "bench/TimedRun.h"
#include "tests/support/LauncherWorld.h"
#include "tests/support/ScratchFiles.h"

namespace bench {

struct BenchSettings {
  int Runs;  // timed runs of each side of a case
  std::uint64_t FloodBytes;       // tool output of the throughput and the large memory runs
  std::uint64_t SmallFloodBytes;  // tool output of the small memory run
  // Patch packages scripts/bench made, with a tiny, a small and a large
  // incompressible patch, and that large patch itself; empty: no package rows.
  std::wstring TinyPackage;
  std::wstring SmallPackage;
  std::wstring LargePackage;
  std::wstring LargePatch;
};

// The cases, run on a machine set up as for a patch: the stand-in installed
// as a current patching tool, the launcher in a package folder beside
// patch.rvx. Each case adds its rows, or says on stderr why a run went wrong
// and returns false: a failed run is never measured.
class LauncherBench {
 public:
  explicit LauncherBench(const BenchSettings& settings);

  bool Throughput(std::vector<ResultRow>& rows);
  bool Memory(std::vector<ResultRow>& rows);
  bool StartOverhead(std::vector<ResultRow>& rows);
  bool DetachLatency(std::vector<ResultRow>& rows);
  bool EndLatency(std::vector<ResultRow>& rows);
  // The package extracting the large patch against the floor it stands on
  // (hashing its bytes, the launcher hashing the patch for its run record,
  // copying the patch, starting the package, the launcher and its tool),
  // and the package's memory with either patch.
  bool PackageRun(std::vector<ResultRow>& rows);

 private:
  struct Run {
    TimedResult Result;
    std::uint64_t StdoutBytes = 0;
    std::uint64_t StderrBytes = 0;
  };

  bool InstallTool(const std::string& script);
  // One uncounted round, then Settings.Runs counted ones, each without a
  // stored time at its start; false as soon as a round fails.
  bool WarmedRounds(const std::function<bool(bool counted)>& round);
  Run TimeLauncher(const std::optional<std::wstring>& sfxcmd, bool sampleMemory = false);
  Run RunDirect(const std::wstring& program, const std::wstring& arguments, bool sampleMemory = false);
  Run RunWithOutputFiles(TimedRequest request);
  // The launcher's run, checked: it ended with 0 and wrote `stdoutBytes`
  // bytes to standard output and nothing to standard error.
  bool LauncherRunWorked(const Run& run, std::uint64_t stdoutBytes, const char* what) const;
  // Milliseconds from the time the tool stored in StampFile to the launcher's end.
  bool LatencyToEnd(const Run& run, double& milliseconds) const;
  // Adds the row of the median latency to the end over warmed rounds, each
  // run vetted by `worked` before it counts.
  bool LatencyRow(const std::string& title, const wchar_t* sfxcmd, const std::function<bool(const Run&)>& worked,
                  std::vector<ResultRow>& rows);

  BenchSettings Settings;
  testing_support::ScratchFolder Scratch{L"bench"};
  testing_support::LauncherWorld World;
  const std::wstring StampFile;
};

}  // namespace bench
