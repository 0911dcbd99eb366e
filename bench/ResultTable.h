#pragma once

#include <string>
#include <vector>

namespace bench {

// One measurement: the launcher's median against its reference's, and what
// the two give together (a ratio, a difference or a latency).
struct ResultRow {
  std::string Case;
  std::string Launcher;
  std::string Reference;  // "-" when the case has none
  std::string Result;
  std::string Target;  // empty: shown for reference only
  bool Met = false;
};

// A Markdown table, so it can go into docs/PERFORMANCE.md as printed.
void PrintTable(const std::vector<ResultRow>& rows);

std::string Fixed(double value, int decimals);

}  // namespace bench
