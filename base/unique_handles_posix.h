#pragma once
// The owners of the POSIX handles the programs use: file and socket
// descriptors, directory streams and iconv conversions.

#include <dirent.h>
#include <iconv.h>
#include <unistd.h>

#include "base/unique_any.h"

namespace dovrel {

inline void CloseDescriptor(int fd) { ::close(fd); }
inline void CloseDirectory(DIR* directory) { ::closedir(directory); }
inline void CloseIconv(iconv_t codec) { ::iconv_close(codec); }

using unique_fd = unique_any<int, CloseDescriptor, -1>;
using unique_dir = unique_any<DIR*, CloseDirectory>;
// iconv_open fails with (iconv_t)-1, which is therefore "none".
using unique_iconv = unique_any<iconv_t, CloseIconv, -1>;

}  // namespace dovrel
