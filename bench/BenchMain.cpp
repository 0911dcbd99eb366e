// Measures the launcher against its targets under Wine; run through
// scripts/bench, which builds it and prepares the prefix.
//
//   LauncherBench [--quick] [--runs N] [--packages TINY SMALL LARGE LARGE_PATCH]
//
// --packages adds the patch package's rows: three packages scripts/bench
// built, with a tiny, a 1 MB and a large incompressible patch, and that large
// patch.
// --quick only proves the cases run (one small run each). Exit codes: 0 all
// cases measured (whether or not they meet their targets), 1 a run went
// wrong, 2 bad arguments.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "base/SystemLibraries.h"
#include "bench/LauncherBench.h"
#include "tests/support/RunLog.h"
#include "tests/support/ScratchFiles.h"

namespace {

constexpr std::uint64_t Megabytes = 1024 * 1024;

bool ParseArguments(int argc, wchar_t** argv, bench::BenchSettings& settings) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring argument = argv[i];
    if (argument == L"--quick") {
      settings.Runs = 1;
      settings.FloodBytes = 8 * Megabytes;
      settings.SmallFloodBytes = 1 * Megabytes;
    } else if (argument == L"--packages" && i + 4 < argc) {
      settings.TinyPackage = argv[++i];
      settings.SmallPackage = argv[++i];
      settings.LargePackage = argv[++i];
      settings.LargePatch = argv[++i];
    } else if (argument == L"--runs" && i + 1 < argc) {
      settings.Runs = _wtoi(argv[++i]);
      if (settings.Runs < 1) return false;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The test support finds the launcher's log folder through shell32.
  SystemLibraries::Load();
  bench::BenchSettings settings{5, 256 * Megabytes, 1 * Megabytes, {}, {}, {}, {}};
  if (!ParseArguments(argc, argv, settings)) {
    std::fprintf(stderr, "usage: LauncherBench [--quick] [--runs N] [--packages TINY SMALL LARGE LARGE_PATCH]\n");
    return 2;
  }
  std::printf("Medians of %d run(s) per side; throughput output %llu MB.\n", settings.Runs,
              static_cast<unsigned long long>(settings.FloodBytes / Megabytes));
  if (settings.Runs < 5) std::printf("Too few runs to judge a target: this only shows that the cases run.\n");
  std::printf("\n");
  std::fflush(stdout);

  std::vector<bench::ResultRow> rows;
  bool measured = false;
  {
    bench::LauncherBench cases(settings);
    measured = cases.Throughput(rows) && cases.Memory(rows) && cases.StartOverhead(rows) &&
               cases.DetachLatency(rows) && cases.EndLatency(rows) && cases.PackageRun(rows);
  }
  // Every launcher run left its log behind; this prefix is the benchmark's own.
  testing_support::RemoveTree(testing_support::LogFolder());
  if (!measured) return 1;
  bench::PrintTable(rows);
  return 0;
}
