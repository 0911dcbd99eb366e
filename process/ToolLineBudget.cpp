#include "process/ToolLineBudget.h"

bool ToolLineBudget::Take(std::uint64_t logBytes, std::uint64_t toolBytes) {
  std::uint64_t left = Left.load();
  while (left >= logBytes) {
    if (Left.compare_exchange_weak(left, left - logBytes)) return true;
  }
  Left.store(0);
  LinesLeftOut.fetch_add(1);
  BytesLeftOut.fetch_add(toolBytes);
  return false;
}
