#pragma once

#include <windows.h>

// How a step of the package's run ended: done; the package's bytes are
// wrong (cut, changed, inconsistent); or the machine failed it, in which of
// the steps and with the system's error.
struct StepResult {
  enum class Kind { Done, Damaged, Failed };
  enum class Step { None, ReadPackage, ComputeDigest, WriteFile };

  Kind What = Kind::Done;
  Step Where = Step::None;  // for Failed
  DWORD Error = 0;          // for Failed, never 0

  static StepResult Damaged() { return {Kind::Damaged, Step::None, 0}; }
  static StepResult Failed(Step where, DWORD error) {
    return {Kind::Failed, where, error != 0 ? error : ERROR_GEN_FAILURE};
  }
  bool IsDone() const { return What == Kind::Done; }
};
