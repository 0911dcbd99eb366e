#include "bench/ResultTable.h"

#include <cstdio>

namespace bench {

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

void PrintTable(const std::vector<ResultRow>& rows) {
  std::printf("| Case | Launcher | Reference | Result | Target | Met |\n");
  std::printf("|---|---|---|---|---|---|\n");
  for (const ResultRow& row : rows) {
    const bool hasTarget = !row.Target.empty();
    std::printf("| %s | %s | %s | %s | %s | %s |\n", row.Case.c_str(), row.Launcher.c_str(), row.Reference.c_str(),
                row.Result.c_str(), hasTarget ? row.Target.c_str() : "-", !hasTarget ? "-" : row.Met ? "yes" : "NO");
  }
  std::fflush(stdout);
}

}  // namespace bench
