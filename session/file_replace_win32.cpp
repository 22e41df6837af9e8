#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>

#include "session/file_output.h"

namespace dovrel::platform {

bool MoveFileOver(const char* from, const char* to) {
  return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::FILE* CreateNewFile(const char* path) {
  int descriptor =
      ::_open(path, _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  if (descriptor < 0) return nullptr;
  std::FILE* file = ::_fdopen(descriptor, "w+b");
  if (file == nullptr) ::_close(descriptor);
  return file;
}

}  // namespace dovrel::platform
