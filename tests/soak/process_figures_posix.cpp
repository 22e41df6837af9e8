#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/soak/process_figures.h"

namespace dovrel::soak {

const char* const kMemoryLabel = "resident";
const char* const kHandlesLabel = "descriptors";

namespace {

long long ResidentKib() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return -1;
  long long kib = -1;
  char line[256];
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, "VmRSS:", 6) == 0) {
      char* end = nullptr;
      kib = std::strtoll(line + 6, &end, 10);
      if (end == line + 6) kib = -1;
    }
  }
  std::fclose(status);
  return kib;
}

// The entries of /proc/self/fd, less the one this listing holds open.
long long OpenDescriptors() {
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return -1;
  long long count = 0;
  while (const dirent* entry = readdir(folder)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(folder);
  return count - 1;
}

}  // namespace

ProcessFigures ReadProcessFigures() { return {ResidentKib(), OpenDescriptors()}; }

}  // namespace dovrel::soak
