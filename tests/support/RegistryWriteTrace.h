#pragma once

#include <string>
#include <vector>

#include "tests/programs/ProgramStart.h"
#include "tests/support/WineOutput.h"

namespace testing_support {

// The registry values that started programs set, in the order they set them,
// read from Wine's trace of each NtSetValueKey call in this test program's
// own output (WineOutput): what no reader of the registry can see between
// two writes.
class RegistryWriteTrace {
 public:
  // The environment that makes a started program (and what it starts) print
  // each value it sets, besides what it was already asked to print.
  static void Enable(programs::EnvironmentChanges& environment);

  bool Readable() const { return Output.Readable(); }

  // The names of the values set since this trace was made that are among
  // `names`, in order, one entry per write.
  std::vector<std::wstring> ValuesSet(const std::vector<std::wstring>& names) const;

 private:
  WineOutput Output;
};

}  // namespace testing_support
