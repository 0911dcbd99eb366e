#include "bench/LauncherBench.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "base/Sha256.h"
#include "base/UniqueHolder.h"
#include "bench/Median.h"
#include "bench/OutputFile.h"
#include "tests/programs/ProcessList.h"
#include "tests/programs/Utf8Text.h"
#include "tests/support/RunLog.h"

namespace bench {

namespace {

using programs::ToUtf8;

const std::uint64_t ConsoleLineBytes = testing_support::StartedLine.size() + testing_support::SucceededLine.size();
constexpr double Megabyte = 1024.0 * 1024.0;

bool Fail(const std::string& why) {
  std::fprintf(stderr, "bench: %s\n", why.c_str());
  return false;
}

std::uint64_t DecimalDigits(std::uint64_t number) {
  std::uint64_t digits = 1;
  while (number >= 10) {
    number /= 10;
    ++digits;
  }
  return digits;
}

// Line ends within the first `bytes` bytes of the stand-in's numbered
// standard-output lines ("stdout 1\n", ...): the launcher writes each as CR LF.
std::uint64_t NumberedLineEnds(std::uint64_t bytes) {
  std::uint64_t written = 0;
  for (std::uint64_t line = 1;; ++line) {
    written += sizeof "stdout \n" - 1 + DecimalDigits(line);
    if (written > bytes) return line - 1;
  }
}

std::string Milliseconds(double value) { return Fixed(value, 1) + " ms"; }

std::wstring TempFolder() {
  wchar_t folder[MAX_PATH];
  return std::wstring(folder, GetTempPathW(MAX_PATH, folder));
}

// Each package run leaves its staging folder, as large as its patch.
void RemoveStagingFolders() {
  for (const std::wstring& name : testing_support::FolderEntries(TempFolder(), L"ValcrestPatch-*", true)) {
    testing_support::RemoveTree(TempFolder() + name);
  }
}

std::wstring PipeDrainLimitPath() { return testing_support::BinaryFolder() + L"PipeDrainLimit.exe"; }

// The package's own SHA-256 (CNG) over a file's bytes, read in the pieces
// the package reads, in this process: milliseconds, or a negative value on
// failure.
double HashMilliseconds(const std::wstring& path) {
  const LONGLONG start = Now();
  const mw::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  unsigned char digest[Sha256Size];
  if (!file || Sha256OfFile(file.Get(), digest) != 0) return -1;
  return TicksToMilliseconds(Now() - start);
}

}  // namespace

LauncherBench::LauncherBench(const BenchSettings& settings)
    : Settings(settings), World(Scratch / L"Valcrest", Scratch / L"pkg"), StampFile(Scratch / L"stamp.txt") {
  World.AddPackageFile(L"patch.rvx");
}

bool LauncherBench::InstallTool(const std::string& script) {
  if (!World.InstallTool(testing_support::CurrentTool, script)) return Fail("cannot install the stand-in tool");
  return true;
}

LauncherBench::Run LauncherBench::RunWithOutputFiles(TimedRequest request) {
  const OutputFile output(Scratch / L"stdout.txt");
  const OutputFile errors(Scratch / L"stderr.txt");
  request.Stdout = output.Handle();
  request.Stderr = errors.Handle();
  Run run;
  run.Result = RunTimed(request);
  run.StdoutBytes = output.Size();
  run.StderrBytes = errors.Size();
  return run;
}

LauncherBench::Run LauncherBench::TimeLauncher(const std::optional<std::wstring>& sfxcmd, bool sampleMemory) {
  TimedRequest request;
  request.Program = World.LauncherPath();
  request.Environment[L"SFXCMD"] = sfxcmd;
  request.SampleMemory = sampleMemory;
  return RunWithOutputFiles(request);
}

LauncherBench::Run LauncherBench::RunDirect(const std::wstring& program, const std::wstring& arguments,
                                            bool sampleMemory) {
  TimedRequest request;
  request.Program = program;
  request.Arguments = arguments;
  request.SampleMemory = sampleMemory;
  return RunWithOutputFiles(request);
}

bool LauncherBench::LauncherRunWorked(const Run& run, std::uint64_t stdoutBytes, const char* what) const {
  if (!run.Result.Ended) return Fail(std::string(what) + ": the launcher did not start or end");
  if (run.Result.ExitCode != 0) return Fail(std::string(what) + ": exit code " + std::to_string(run.Result.ExitCode));
  if (run.StdoutBytes != stdoutBytes || run.StderrBytes != 0) {
    return Fail(std::string(what) + ": " + std::to_string(run.StdoutBytes) + " bytes on stdout (" +
                std::to_string(stdoutBytes) + " expected) and " + std::to_string(run.StderrBytes) + " on stderr");
  }
  return true;
}

bool LauncherBench::LatencyToEnd(const Run& run, double& milliseconds) const {
  const std::string text = testing_support::ReadFileBytes(StampFile);
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return Fail("the tool stored no time");
  }
  milliseconds = TicksToMilliseconds(run.Result.EndTicks - std::stoll(text));
  return true;
}

bool LauncherBench::WarmedRounds(const std::function<bool(bool counted)>& round) {
  // The first round warms the file cache and Wine's loaded libraries.
  for (int i = -1; i < Settings.Runs; ++i) {
    DeleteFileW(StampFile.c_str());
    if (!round(i >= 0)) return false;
  }
  return true;
}

bool LauncherBench::Throughput(std::vector<ResultRow>& rows) {
  const std::uint64_t bytes = Settings.FloodBytes;
  if (!InstallTool("flood-out " + std::to_string(bytes) + "\nexit 0\n")) return false;
  const std::uint64_t launcherBytes = bytes + NumberedLineEnds(bytes) + ConsoleLineBytes;

  std::vector<double> launcherMs;
  std::vector<double> limitMs;
  for (int i = 0; i < Settings.Runs; ++i) {
    const Run launcher = TimeLauncher(L"/detach");
    if (!LauncherRunWorked(launcher, launcherBytes, "throughput")) return false;
    launcherMs.push_back(TicksToMilliseconds(launcher.Result.EndTicks - launcher.Result.StartTicks));

    const Run drain = RunDirect(PipeDrainLimitPath(), L"\"" + World.ToolPath() + L"\"");
    if (!drain.Result.Ended || drain.Result.ExitCode != 0 || drain.StdoutBytes != bytes) {
      return Fail("the limit program failed: exit code " + std::to_string(drain.Result.ExitCode) + ", " +
                  std::to_string(drain.StdoutBytes) + " bytes");
    }
    limitMs.push_back(TicksToMilliseconds(drain.Result.EndTicks - drain.Result.StartTicks));
  }
  const double launcher = Median(launcherMs);
  const double drain = Median(limitMs);
  const double megabytes = static_cast<double>(bytes) / Megabyte;
  rows.push_back({"Throughput, " + Fixed(megabytes, 0) + " MB to stdout, echo and marker search",
                  Milliseconds(launcher) + " (" + Fixed(megabytes * 1000 / launcher, 1) + " MB/s)",
                  "limit " + Milliseconds(drain) + " (" + Fixed(megabytes * 1000 / drain, 1) + " MB/s)",
                  Fixed(launcher / drain, 2) + "x", "<= 1.25x", launcher / drain <= 1.25});
  return true;
}

bool LauncherBench::Memory(std::vector<ResultRow>& rows) {
  std::vector<double> privateMb[2];
  std::vector<double> workingSetMb[2];
  const std::uint64_t sizes[2] = {Settings.SmallFloodBytes, Settings.FloodBytes};
  for (int i = 0; i < Settings.Runs; ++i) {
    for (int size = 0; size < 2; ++size) {
      const std::uint64_t bytes = sizes[size];
      if (!InstallTool("flood-out " + std::to_string(bytes) + "\nexit 0\n")) return false;
      const Run launcher = TimeLauncher(L"/detach", true);
      if (!LauncherRunWorked(launcher, bytes + NumberedLineEnds(bytes) + ConsoleLineBytes, "memory")) return false;
      if (launcher.Result.PeakPrivateBytes == 0) return Fail("no memory counters could be read");
      privateMb[size].push_back(static_cast<double>(launcher.Result.PeakPrivateBytes) / Megabyte);
      workingSetMb[size].push_back(static_cast<double>(launcher.Result.PeakWorkingSetBytes) / Megabyte);
    }
  }
  const std::string large = Fixed(static_cast<double>(sizes[1]) / Megabyte, 0) + " MB out";
  const std::string small = Fixed(static_cast<double>(sizes[0]) / Megabyte, 0) + " MB out";
  const double privateGrowth = Median(privateMb[1]) - Median(privateMb[0]);
  const double workingSetGrowth = Median(workingSetMb[1]) - Median(workingSetMb[0]);
  rows.push_back({"Peak private memory, detach requested", Fixed(Median(privateMb[1]), 2) + " MB at " + large,
                  Fixed(Median(privateMb[0]), 2) + " MB at " + small, Fixed(privateGrowth, 2) + " MB more",
                  "< 1 MB more", privateGrowth < 1.0});
  rows.push_back({"Peak working set, detach requested (for reference)",
                  Fixed(Median(workingSetMb[1]), 2) + " MB at " + large,
                  Fixed(Median(workingSetMb[0]), 2) + " MB at " + small, Fixed(workingSetGrowth, 2) + " MB more", "",
                  false});
  return true;
}

bool LauncherBench::StartOverhead(std::vector<ResultRow>& rows) {
  // The stored time is the tool's exit: the stand-in exits at once after it.
  if (!InstallTool("timestamp " + ToUtf8(StampFile) + "\nexit 0\n")) return false;
  std::vector<double> launcherMs;
  std::vector<double> toolMs;
  std::vector<double> copyMs;
  std::vector<double> launcherEndMs;
  std::vector<double> copyEndMs;
  const bool measured = WarmedRounds([&](bool counted) {
    const Run launcher = TimeLauncher(L"");
    if (!LauncherRunWorked(launcher, ConsoleLineBytes, "start overhead")) return false;
    double launcherEnd = 0;
    if (!LatencyToEnd(launcher, launcherEnd)) return false;

    const Run tool = RunDirect(World.ToolPath(), L"");
    if (!tool.Result.Ended || tool.Result.ExitCode != 0) return Fail("the tool alone failed");

    DeleteFileW(StampFile.c_str());
    const Run copy = RunDirect(PipeDrainLimitPath(), L"\"" + World.ToolPath() + L"\"");
    if (!copy.Result.Ended || copy.Result.ExitCode != 0) return Fail("the plain pipe copy failed");
    double copyEnd = 0;
    if (!LatencyToEnd(copy, copyEnd)) return false;

    if (!counted) return true;
    launcherMs.push_back(TicksToMilliseconds(launcher.Result.EndTicks - launcher.Result.StartTicks));
    toolMs.push_back(TicksToMilliseconds(tool.Result.EndTicks - tool.Result.StartTicks));
    copyMs.push_back(TicksToMilliseconds(copy.Result.EndTicks - copy.Result.StartTicks));
    launcherEndMs.push_back(launcherEnd);
    copyEndMs.push_back(copyEnd);
    return true;
  });
  if (!measured) return false;
  const double launcher = Median(launcherMs);
  const double tool = Median(toolMs);
  const double copy = Median(copyMs);
  rows.push_back({"Start overhead, tool exits at once", Milliseconds(launcher), "tool alone " + Milliseconds(tool),
                  Fixed(launcher / tool, 2) + "x", "<= 2x", launcher / tool <= 2.0});
  rows.push_back({"Start floor: plain pipe copy starting the tool hidden (for reference)", Milliseconds(copy),
                  "tool alone " + Milliseconds(tool), Fixed(copy / tool, 2) + "x", "", false});
  rows.push_back({"Its exit to the end, tool exits at once (for reference)", Milliseconds(Median(launcherEndMs)),
                  "plain pipe copy " + Milliseconds(Median(copyEndMs)), "-", "", false});
  return true;
}

bool LauncherBench::LatencyRow(const std::string& title, const wchar_t* sfxcmd,
                               const std::function<bool(const Run&)>& worked, std::vector<ResultRow>& rows) {
  std::vector<double> latencies;
  const bool measured = WarmedRounds([&](bool counted) {
    const Run launcher = TimeLauncher(sfxcmd);
    if (!worked(launcher)) return false;
    double latency = 0;
    if (!LatencyToEnd(launcher, latency)) return false;
    if (counted) latencies.push_back(latency);
    return true;
  });
  if (!measured) return false;
  const double latency = Median(latencies);
  rows.push_back({title, Milliseconds(latency), "-", Milliseconds(latency), "< 50 ms", latency < 50.0});
  return true;
}

bool LauncherBench::DetachLatency(std::vector<ResultRow>& rows) {
  // The sleep lets the launcher settle into its wait before the marker comes.
  if (!InstallTool("sleep 300\ntimestamp " + ToUtf8(StampFile) +
                   "\nout Patch validation finished\\n\nsleep 60000\n")) {
    return false;
  }
  const std::uint64_t stdoutBytes = testing_support::StartedLine.size() + sizeof "Patch validation finished\r\n" - 1;
  return LatencyRow("Detach latency, marker written to launcher ended", L"/detach", [&](const Run& launcher) {
    // The tool goes on after a detach; it must not hold its exe for the next
    // install, nor its finisher the log the next run may want (process ids are
    // handed out again at once).
    programs::EndProcesses(L"rivlet.exe");
    if (!testing_support::LauncherWorld::WaitForFinishersToEnd(15000)) return Fail("the finisher did not end");
    if (!LauncherRunWorked(launcher, stdoutBytes, "detach")) return false;
    const TimedResult& result = launcher.Result;
    if (!testing_support::ReadRunLog(result.ProcessId, result.StartSeconds, result.EndSeconds)
             .Has("[INFO] Detach was signaled.")) {
      return Fail("the launcher did not detach");
    }
    return true;
  }, rows);
}

bool LauncherBench::EndLatency(std::vector<ResultRow>& rows) {
  if (!InstallTool("sleep 300\ntimestamp " + ToUtf8(StampFile) + "\nexit 0\n")) return false;
  return LatencyRow("End latency, tool exit to launcher ended", L"", [&](const Run& launcher) {
    return LauncherRunWorked(launcher, ConsoleLineBytes, "end");
  }, rows);
}

bool LauncherBench::PackageRun(std::vector<ResultRow>& rows) {
  if (Settings.LargePackage.empty()) return true;
  if (!InstallTool("exit 0\n")) return false;
  const std::wstring shell = programs::SystemFolderPath() + L"\\cmd.exe";
  const std::wstring copied = Scratch / L"copied.rvx";
  auto packageWorked = [&](const Run& run) {
    RemoveStagingFolders();
    if (run.Result.Ended && run.Result.ExitCode == 0 && run.StdoutBytes == ConsoleLineBytes) return true;
    return Fail("package run: exit code " + std::to_string(run.Result.ExitCode) + ", " +
                std::to_string(run.StdoutBytes) + " bytes on stdout");
  };

  std::vector<double> packageMs;
  std::vector<double> copyMs;
  std::vector<double> hashMs;
  std::vector<double> patchHashMs;
  std::vector<double> floorMs;
  const bool timed = WarmedRounds([&](bool counted) {
    const Run package = RunDirect(Settings.LargePackage, L"");
    if (!packageWorked(package)) return false;
    const Run copy = RunDirect(shell, L"/c copy /b \"" + Settings.LargePatch + L"\" \"" + copied + L"\"");
    DeleteFileW(copied.c_str());
    if (!copy.Result.Ended || copy.Result.ExitCode != 0) return Fail("the plain copy failed");
    const Run tiny = RunDirect(Settings.TinyPackage, L"");
    if (!packageWorked(tiny)) return false;
    const double hash = HashMilliseconds(Settings.LargePackage);
    const double patchHash = HashMilliseconds(Settings.LargePatch);
    if (hash < 0 || patchHash < 0) return Fail("the SHA-256 of the large package or patch could not be computed");
    if (!counted) return true;
    packageMs.push_back(TicksToMilliseconds(package.Result.EndTicks - package.Result.StartTicks));
    copyMs.push_back(TicksToMilliseconds(copy.Result.EndTicks - copy.Result.StartTicks));
    floorMs.push_back(TicksToMilliseconds(tiny.Result.EndTicks - tiny.Result.StartTicks));
    hashMs.push_back(hash);
    patchHashMs.push_back(patchHash);
    return true;
  });
  if (!timed) return false;
  const double package = Median(packageMs);
  const double copy = Median(copyMs);
  const double hash = Median(hashMs);
  const double patchHash = Median(patchHashMs);
  const double start = Median(floorMs);
  const double floor = hash + patchHash + copy + start;
  rows.push_back({"SHA-256 of the large package's bytes, CNG, in one process (for reference)", Milliseconds(hash), "-",
                  "-", "", false});
  rows.push_back({"SHA-256 of the large patch, which the launcher takes for the run record (for reference)",
                  Milliseconds(patchHash), "-", "-", "", false});
  rows.push_back({"Plain copy of the large patch, cmd /c copy /b (for reference)", Milliseconds(copy), "-", "-", "",
                  false});
  rows.push_back({"Package run with a tiny patch: package, launcher and tool started (for reference)",
                  Milliseconds(start), "-", "-", "", false});
  rows.push_back({"Package run extracting the large patch (the launcher ends at once)", Milliseconds(package),
                  "both SHA-256 + copy + tiny package run " + Milliseconds(floor), Fixed(package / floor, 2) + "x",
                  "<= 1.1x", package / floor <= 1.1});

  std::vector<double> privateMb[2];
  const std::wstring packages[2] = {Settings.SmallPackage, Settings.LargePackage};
  for (int i = 0; i < Settings.Runs; ++i) {
    for (int size = 0; size < 2; ++size) {
      const Run run = RunDirect(packages[size], L"", true);
      if (!packageWorked(run)) return false;
      if (run.Result.PeakPrivateBytes == 0) return Fail("no memory counters could be read");
      privateMb[size].push_back(static_cast<double>(run.Result.PeakPrivateBytes) / Megabyte);
    }
  }
  const double growth = Median(privateMb[1]) - Median(privateMb[0]);
  rows.push_back({"Package peak private memory", Fixed(Median(privateMb[1]), 2) + " MB, large patch",
                  Fixed(Median(privateMb[0]), 2) + " MB, 1 MB patch", Fixed(growth, 2) + " MB more", "< 1 MB more",
                  growth < 1.0});
  return true;
}

}  // namespace bench
