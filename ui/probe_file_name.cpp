#include <cstdio>
#include <random>

#include "ui/directory.h"

namespace dovrel {

std::string DrawProbeFileName() {
  std::random_device source;
  char name[48];
  std::snprintf(name, sizeof name, "~dovrel-probe-%08x%08x.tmp", source(), source());
  return name;
}

}  // namespace dovrel
