#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "session/file_output.h"

namespace dovrel::platform {

bool MoveFileOver(const char* from, const char* to) { return std::rename(from, to) == 0; }

std::FILE* CreateNewFile(const char* path) {
  int descriptor = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) return nullptr;
  std::FILE* file = ::fdopen(descriptor, "w+b");
  if (file == nullptr) ::close(descriptor);
  return file;
}

}  // namespace dovrel::platform
