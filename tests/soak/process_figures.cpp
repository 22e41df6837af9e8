#include "tests/soak/process_figures.h"

#include <algorithm>

namespace dovrel::soak {

bool StaysFlat(const ProcessFigures& baseline, const ProcessFigures& last) {
  if (baseline.memoryKib < 0 || baseline.handles < 0 || last.memoryKib < 0 || last.handles < 0)
    return false;
  const long long memorySlack = std::max(kMemorySlackKib, baseline.memoryKib / 20);
  return last.memoryKib <= baseline.memoryKib + memorySlack &&
         last.handles <= baseline.handles + kHandleSlack;
}

}  // namespace dovrel::soak
