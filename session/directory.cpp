// The portable part of the directory source: the probe's drawn file names and
// the "*.txt" wildcard.
#include "session/directory.h"

#include <cstdio>
#include <random>

#include "base/ascii.h"

namespace dovrel {

bool MatchesTxtPattern(std::string_view name) {
  constexpr std::string_view kExtension = ".txt";
  if (name.size() < kExtension.size()) return false;
  return EqualIgnoringAsciiCase(name.substr(name.size() - kExtension.size()), kExtension);
}

std::string DrawProbeFileName() {
  std::random_device source;
  char name[48];
  std::snprintf(name, sizeof name, "~dovrel-probe-%08x%08x.tmp", source(), source());
  return name;
}

}  // namespace dovrel
