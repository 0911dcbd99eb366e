#pragma once

#include <string>

namespace testing_support {

// What Wine prints on this test program's Unix standard error, and on that of
// every program it starts (its traces among it): build/wine-run keeps it in a
// file and names it in MENDORA_TEST_OUTPUT. Read from where it stood when
// this was made.
class WineOutput {
 public:
  WineOutput();

  // Whether the file is known and could be read.
  bool Readable() const { return Start >= 0; }

  // What was printed since, up to its last complete line.
  std::string Since() const;

 private:
  long long Start = -1;
};

}  // namespace testing_support
