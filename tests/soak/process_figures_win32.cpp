#include <windows.h>
#include <psapi.h>

#include "tests/soak/process_figures.h"

namespace dovrel::soak {

const char* const kMemoryLabel = "working set";
const char* const kHandlesLabel = "handles";

namespace {

// Wine's GetProcessHandleCount reports none; there the handle values that
// GetHandleInformation accepts are counted (Wine hands out the lowest free
// multiple of four, so a small process's handles all lie below this bound).
constexpr ULONG_PTR kHandleValueBound = 0x10000;

long long CountHandleValues() {
  long long count = 0;
  for (ULONG_PTR value = 4; value < kHandleValueBound; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

}  // namespace

ProcessFigures ReadProcessFigures() {
  ProcessFigures figures;
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
    figures.memoryKib = static_cast<long long>(counters.WorkingSetSize / 1024);
  DWORD handles = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &handles)) figures.handles = handles;
  if (figures.handles <= 0) figures.handles = CountHandleValues();
  return figures;
}

}  // namespace dovrel::soak
