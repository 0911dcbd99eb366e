#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "base/UniqueHolder.h"
#include "process/ExitListener.h"

// Steps of a start that do not depend on the listener's context type.

// An anonymous pipe whose write end the child may inherit and whose read end
// it may not. 0, CreatePipe's error, or 0xFFFFFFFF when the read end stays
// inheritable (both ends are closed then).
DWORD CreateOutputPipe(mw::UniqueHandle& read, mw::UniqueHandle& write);

// Starts `program` (null: the command line's first token) with the given
// standard handles (null ones are left out) as the only handles it inherits,
// and the creation flags. 0 and the new process and thread, or the error.
DWORD CreateWithOnlyTheseHandles(const wchar_t* program, const wchar_t* commandLine, const wchar_t* workingFolder,
                                 HANDLE input, HANDLE output, HANDLE error, DWORD flags, PROCESS_INFORMATION& created);

// Starts a hidden child with the given standard handles (null ones are left
// out) as the only handles it inherits. 0 and the process handle, or the error.
DWORD CreateHiddenProcess(const wchar_t* commandLine, const wchar_t* workingDirectory, HANDLE stdinChild,
                          HANDLE stdoutWrite, HANDLE stderrWrite, mw::UniqueHandle& process);

// A thread that calls the watcher, which must outlive it; empty on failure.
mw::UniqueHandle StartWatcherThread(std::function<void()>& watcher);

// Starts one console program, hidden, with its standard output and standard
// error in pipes whose read ends stay here, and holds its process handle.
// Nothing here ever waits for, signals or terminates the child: destroying
// the object only closes handles, and a running child keeps running.
//
// The stream handles and the process handle are read by the output pumps and
// the run sequence, and a listener with its context may be set before Start.
template <typename ContextType>
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  // The watcher thread holds this object's address.
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // 0 when the child runs; 170 (ERROR_BUSY) when this object already started
  // one, 0xFFFFFFFF when a read end stays inheritable, or the failing call's
  // error. A failed start leaves Process empty, so Start may be tried again;
  // a failed process creation also closes every stream handle.
  DWORD Start(const wchar_t* commandLine, const wchar_t* workingDirectory);

  void CloseStreams();

  mw::UniqueHandle StdinChild;
  mw::UniqueHandle StdinParent;
  mw::UniqueHandle StdoutRead;
  mw::UniqueHandle StdoutWrite;
  mw::UniqueHandle StderrRead;
  mw::UniqueHandle StderrWrite;
  mw::UniqueHandle Process;
  ExitListener<ContextType>* Listener = nullptr;
  ContextType Context{};
  // Called once both pipes exist, just before the child is created: whoever
  // must hold the read ends from the child's first instruction on takes
  // them here.
  std::function<void()> PipesReady;

 private:
  struct ExitNotice {
    ExitListener<ContextType>* Listener;
    ContextType Context;
    DWORD ExitCode;
  };

  DWORD WatchExit();
  static DWORD WINAPI NotifyExit(void* notice) noexcept;

  mw::UniqueHandle StopEvent;
  std::function<void()> Watcher;
  mw::UniqueHandle WatcherThread;
};

template <typename ContextType>
ChildProcess<ContextType>::~ChildProcess() {
  if (StopEvent) {
    SetEvent(StopEvent.Get());
    // Load bearing: the watcher reads this object's fields until it returns.
    if (WatcherThread && WaitForSingleObject(WatcherThread.Get(), INFINITE) == WAIT_OBJECT_0) WatcherThread.Close();
    StopEvent.Close();
  }
  CloseStreams();
  WatcherThread.Close();
  Watcher = nullptr;
  Process.Close();
}

template <typename ContextType>
DWORD ChildProcess<ContextType>::Start(const wchar_t* commandLine, const wchar_t* workingDirectory) {
  if (Process) return ERROR_BUSY;
  CloseStreams();

  if (const DWORD error = CreateOutputPipe(StdoutRead, StdoutWrite); error != 0) return error;
  if (const DWORD error = CreateOutputPipe(StderrRead, StderrWrite); error != 0) return error;
  if (PipesReady) PipesReady();

  mw::UniqueHandle process;
  const DWORD error = CreateHiddenProcess(commandLine, workingDirectory, StdinChild.Get(), StdoutWrite.Get(),
                                          StderrWrite.Get(), process);
  if (error != 0) {
    CloseStreams();
    return error;
  }

  StopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  Process.Reset(process.Take());
  // Only a watcher that teardown can stop may start: teardown waits for it
  // only through the stop event, and it reads this object until it returns.
  if (Listener != nullptr && StopEvent) {
    Watcher = [this] { WatchExit(); };
    if (!WatcherThread) WatcherThread = StartWatcherThread(Watcher);
  }
  // From here only the child holds the write ends, so the reads end when it does.
  StdinChild.Close();
  StdoutWrite.Close();
  StderrWrite.Close();
  return 0;
}

template <typename ContextType>
void ChildProcess<ContextType>::CloseStreams() {
  StdinChild.Close();
  StdinParent.Close();
  StdoutRead.Close();
  StdoutWrite.Close();
  StderrRead.Close();
  StderrWrite.Close();
}

template <typename ContextType>
DWORD ChildProcess<ContextType>::WatchExit() {
  const HANDLE watched[] = {StopEvent.Get(), Process.Get()};
  // The stop event comes first, so a teardown that meets the child's end sends nothing.
  if (WaitForMultipleObjects(2, watched, FALSE, INFINITE) != WAIT_OBJECT_0 + 1 || Listener == nullptr) return 0;
  DWORD exitCode = 0xFFFFFFFF;
  GetExitCodeProcess(Process.Get(), &exitCode);
  // The listener is called on a thread of its own, so teardown never waits for it.
  auto* notice = new ExitNotice{Listener, Context, exitCode};
  const mw::UniqueHandle notifier(CreateThread(nullptr, 0, &NotifyExit, notice, 0, nullptr));
  // Without a thread the listener is still told, at the cost of teardown waiting for it.
  if (!notifier) NotifyExit(notice);
  return 0;
}

template <typename ContextType>
DWORD WINAPI ChildProcess<ContextType>::NotifyExit(void* notice) noexcept {
  const std::unique_ptr<ExitNotice> exitNotice(static_cast<ExitNotice*>(notice));
  exitNotice->Listener->OnExit(exitNotice->Context, exitNotice->ExitCode);
  return 0;
}
