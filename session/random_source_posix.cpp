#include <cstdio>
#include <cstdlib>

#include "session/random_source.h"

namespace dovrel {

bool RandomSeedPath(char* path, std::size_t capacity) {
  if (path == nullptr || capacity == 0) return false;
  const char* folder = std::getenv("TMPDIR");
  if (folder == nullptr || folder[0] == '\0') folder = "/tmp";
  int length = std::snprintf(path, capacity, "%s/rand", folder);
  return length > 0 && static_cast<std::size_t>(length) < capacity;
}

}  // namespace dovrel
