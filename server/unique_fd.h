#pragma once
// File and socket descriptors, closed on scope exit.

#include <unistd.h>

#include "base/unique_any.h"

namespace dovrel::server {

inline void CloseDescriptor(int fd) { ::close(fd); }
using unique_fd = unique_any<int, CloseDescriptor, -1>;

}  // namespace dovrel::server
