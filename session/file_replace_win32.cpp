#include <windows.h>

#include "session/file_output.h"

namespace dovrel::platform {

bool MoveFileOver(const char* from, const char* to) {
  return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace dovrel::platform
