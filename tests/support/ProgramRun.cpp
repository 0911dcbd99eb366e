#include "tests/support/ProgramRun.h"

#include <atomic>
#include <ctime>
#include <thread>

#include "tests/programs/ProgramStart.h"

namespace testing_support {

namespace {

void Drain(HANDLE pipe, std::string& into, std::atomic<bool>& done) {
  char buffer[65536];
  DWORD count = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &count, nullptr) && count != 0) into.append(buffer, count);
  done = true;
}

}  // namespace

ProgramResult RunProgram(const ProgramRequest& request) {
  ProgramResult result;
  programs::InheritablePipe out;
  programs::InheritablePipe err;
  result.StartError = programs::CreateInheritablePipe(out);
  if (result.StartError == 0) result.StartError = programs::CreateInheritablePipe(err);
  if (result.StartError != 0) return result;
  const std::wstring inputPath = request.InputFile.empty() ? L"NUL" : request.InputFile;
  mw::UniqueFileHandle input = programs::OpenInheritableForReading(inputPath);

  programs::ProgramStart start;
  start.Program = request.Program;
  start.Arguments = request.Arguments;
  start.Handles = {input.Get(), out.Write.Get(), err.Write.Get()};
  start.EnvironmentBlock = programs::EnvironmentBlockWith(request.Environment);
  start.WorkingFolder = request.WorkingFolder;
  start.Suspended = static_cast<bool>(request.BeforeResume);
  programs::StartedProgram started;
  result.StartSeconds = static_cast<long long>(std::time(nullptr));
  result.StartError = programs::StartProgram(start, started);
  if (result.StartError != 0) return result;
  if (request.BeforeResume) {
    request.BeforeResume(started.ProcessId);
    ResumeThread(started.Thread.Get());
  }
  started.Thread.Close();
  result.Started = true;
  result.ProcessId = started.ProcessId;
  out.Write.Close();
  err.Write.Close();
  input.Close();

  std::atomic<bool> outDone = false;
  std::atomic<bool> errDone = false;
  std::thread outReader(Drain, out.Read.Get(), std::ref(result.Stdout), std::ref(outDone));
  std::thread errReader(Drain, err.Read.Get(), std::ref(result.Stderr), std::ref(errDone));

  const HANDLE process = started.Process.Get();
  if (WaitForSingleObject(process, request.TimeoutMs) != WAIT_OBJECT_0) {
    result.TimedOut = true;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
  }
  GetExitCodeProcess(process, &result.ExitCode);
  result.EndSeconds = static_cast<long long>(std::time(nullptr));

  // A grandchild may still hold the write ends: give the readers a moment,
  // then cancel what they wait for.
  const ULONGLONG deadline = GetTickCount64() + 10000;
  while (!(outDone && errDone) && GetTickCount64() < deadline) Sleep(10);
  result.PipesOutlivedProgram = !(outDone && errDone);
  // A cancel only reaches a read already pending, so repeat it until both ended.
  while (!(outDone && errDone)) {
    CancelIoEx(out.Read.Get(), nullptr);
    CancelIoEx(err.Read.Get(), nullptr);
    Sleep(10);
  }
  outReader.join();
  errReader.join();
  return result;
}

std::wstring BinaryFolder() {
  const std::wstring path = programs::OwnProgramPath();
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

}  // namespace testing_support
