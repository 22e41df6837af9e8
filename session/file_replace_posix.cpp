#include <cstdio>

#include "session/file_output.h"

namespace dovrel::platform {

bool MoveFileOver(const char* from, const char* to) { return std::rename(from, to) == 0; }

}  // namespace dovrel::platform
