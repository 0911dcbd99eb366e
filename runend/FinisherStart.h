#pragma once

#include <windows.h>

#include <cstdint>

#include "base/OwnImage.h"
#include "base/UniqueHolder.h"
#include "runend/FinisherHandOver.h"
#include "runend/RunEvents.h"
#include "runend/RunRecord.h"

// The launcher's side of the run's finisher: the launcher's own image in its
// finisher mode, started hidden and detached from every console, inheriting
// nothing but the pipe that carries the messages of runend/FinisherHandOver.h.
// What the finisher does with them, and why, is said in runend/FinisherRun.h.
class FinisherStart {
 public:
  FinisherStart() = default;
  ~FinisherStart();
  FinisherStart(const FinisherStart&) = delete;
  FinisherStart& operator=(const FinisherStart&) = delete;

  // Holds the launcher's own file, first thing in the run, while it is
  // surely the file this image came from: the finisher is started from it.
  void HoldImage() { Image.Hold(); }

  // Starts the finisher from the held image, never from a path read again.
  // It then waits for the hand-over. Called before the tool starts, so that
  // taking the tool over costs no process start after it. False, with a
  // warning logged, when it cannot start.
  bool Start();

  // Once the tool's pipes exist, before the tool is created: writes the
  // hand-over with these handles (any null: none) duplicated into the
  // finisher. A finisher that cannot be handed all it needs is ended, and the
  // log says once that the tool's end after the launcher is not logged.
  void HandOver(HANDLE stdoutRead, HANDLE stderrRead, HANDLE patchRunMutex, HANDLE patchRunNamespace,
                const RunRecord& record, const wchar_t* toolPath, bool writeToolOutput, const RunFacts& facts);

  // Right after the tool has started: its process. Without one (the tool did
  // not start) the finisher, which has done nothing yet, is ended.
  void HandOverTool(HANDLE toolProcess);

  // The launcher's last act, once its log, record and event have its end,
  // which is the tool's (`toolEndWritten`; the finisher then ends, and is
  // waited for a few seconds at most) or leaves the tool's to the finisher.
  void NoteLauncherEnd(bool toolEndWritten);

  // The finisher's process id once it has the hand-over; 0 otherwise.
  DWORD ProcessId() const;

 private:
  bool Duplicate(HANDLE handle, DWORD access, std::uint64_t& inFinisher);
  bool Write(const void* message, DWORD size);
  // A finisher that has not been handed the tool has done nothing yet.
  void End(DWORD error);

  OwnImageFile Image;
  mw::UniqueHandle Process;
  mw::UniqueHandle HandOverWrite;
  bool HandedOver = false;
};
