#include <windows.h>

#include <cstdio>

#include "session/random_source.h"

namespace dovrel {

bool RandomSeedPath(char* path, std::size_t capacity) {
  if (path == nullptr || capacity == 0) return false;
  char folder[MAX_PATH + 1];
  DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder) return false;
  // The folder ends in a separator already; the doubled one is kept.
  int written = std::snprintf(path, capacity, "%s\\rand", folder);
  return written > 0 && static_cast<std::size_t>(written) < capacity;
}

}  // namespace dovrel
