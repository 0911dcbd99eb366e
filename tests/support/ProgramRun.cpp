#include "tests/support/ProgramRun.h"

#include <atomic>
#include <ctime>
#include <thread>
#include <vector>

#include "base/UniqueHolder.h"

namespace testing_support {

namespace {

std::wstring BuildEnvironmentBlock(const std::map<std::wstring, std::optional<std::wstring>>& changes) {
  // Windows compares variable names without case; keep the first spelling seen.
  std::map<std::wstring, std::pair<std::wstring, std::wstring>> variables;
  auto keyOf = [](std::wstring name) {
    for (auto& c : name) c = towupper(c);
    return name;
  };
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
    std::wstring text(entry);
    const std::size_t equals = text.find(L'=', 1);  // "=C:=C:\x" entries begin with '='
    if (equals == std::wstring::npos) continue;
    std::wstring name = text.substr(0, equals);
    variables[keyOf(name)] = {name, text.substr(equals + 1)};
  }
  FreeEnvironmentStringsW(block);
  for (const auto& [name, value] : changes) {
    if (value) {
      variables[keyOf(name)] = {name, *value};
    } else {
      variables.erase(keyOf(name));
    }
  }
  std::wstring result;
  for (const auto& [key, variable] : variables) {
    result += variable.first + L"=" + variable.second;
    result.push_back(L'\0');
  }
  result.push_back(L'\0');
  return result;
}

struct Pipe {
  mw::UniqueHandle Read;
  mw::UniqueHandle Write;
};

bool CreateInheritablePipe(Pipe& pipe) {
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!CreatePipe(&read, &write, &attributes, 0)) return false;
  pipe.Read.Reset(read);
  pipe.Write.Reset(write);
  return SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0) != FALSE;
}

void Drain(HANDLE pipe, std::string& into, std::atomic<bool>& done) {
  char buffer[65536];
  DWORD count = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &count, nullptr) && count != 0) into.append(buffer, count);
  done = true;
}

}  // namespace

ProgramResult RunProgram(const ProgramRequest& request) {
  ProgramResult result;
  Pipe out;
  Pipe err;
  if (!CreateInheritablePipe(out) || !CreateInheritablePipe(err)) {
    result.StartError = GetLastError();
    return result;
  }
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const std::wstring inputPath = request.InputFile.empty() ? L"NUL" : request.InputFile;
  mw::UniqueFileHandle input(CreateFileW(inputPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inheritable, OPEN_EXISTING, 0, nullptr));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.Get();
  startup.hStdOutput = out.Write.Get();
  startup.hStdError = err.Write.Get();

  std::wstring commandLine = L"\"" + request.Program + L"\"";
  if (!request.Arguments.empty()) commandLine += L" " + request.Arguments;
  std::vector<wchar_t> writableCommandLine(commandLine.begin(), commandLine.end());
  writableCommandLine.push_back(L'\0');
  std::wstring environment = BuildEnvironmentBlock(request.Environment);

  PROCESS_INFORMATION process{};
  result.StartSeconds = static_cast<long long>(std::time(nullptr));
  if (!CreateProcessW(request.Program.c_str(), writableCommandLine.data(), nullptr, nullptr, TRUE,
                      CREATE_UNICODE_ENVIRONMENT | (request.BeforeResume ? CREATE_SUSPENDED : 0), environment.data(),
                      request.WorkingFolder.empty() ? nullptr : request.WorkingFolder.c_str(), &startup,
                      &process)) {
    result.StartError = GetLastError();
    return result;
  }
  mw::UniqueHandle processHandle(process.hProcess);
  if (request.BeforeResume) {
    request.BeforeResume(process.dwProcessId);
    ResumeThread(process.hThread);
  }
  CloseHandle(process.hThread);
  result.Started = true;
  result.ProcessId = process.dwProcessId;
  out.Write.Close();
  err.Write.Close();
  input.Close();

  std::atomic<bool> outDone = false;
  std::atomic<bool> errDone = false;
  std::thread outReader(Drain, out.Read.Get(), std::ref(result.Stdout), std::ref(outDone));
  std::thread errReader(Drain, err.Read.Get(), std::ref(result.Stderr), std::ref(errDone));

  if (WaitForSingleObject(processHandle.Get(), request.TimeoutMs) != WAIT_OBJECT_0) {
    result.TimedOut = true;
    TerminateProcess(processHandle.Get(), 1);
    WaitForSingleObject(processHandle.Get(), 10000);
  }
  GetExitCodeProcess(processHandle.Get(), &result.ExitCode);
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
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

}  // namespace testing_support
