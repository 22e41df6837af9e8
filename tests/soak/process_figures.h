#pragma once
// What a long run of receive sessions must not let grow: the process's memory
// and its open descriptors (handles on Windows), and the rule that says how
// much growth after the warm-up is still noise.

namespace dovrel::soak {

struct ProcessFigures {
  long long memoryKib = -1;  // resident set natively, working set on Windows
  long long handles = -1;    // open descriptors natively, process handles on Windows
};

// The platform's figures for this process; -1 where one cannot be read.
ProcessFigures ReadProcessFigures();
// How the figures are called here, for the printed lines.
extern const char* const kMemoryLabel;
extern const char* const kHandlesLabel;

// Memory may grow by kMemorySlackKib or a twentieth of the baseline, whichever
// is more (allocator caches settle slowly); handles by kHandleSlack. A figure
// that could not be read is never flat.
inline constexpr long long kMemorySlackKib = 2048;
inline constexpr long long kHandleSlack = 2;
bool StaysFlat(const ProcessFigures& baseline, const ProcessFigures& last);

}  // namespace dovrel::soak
