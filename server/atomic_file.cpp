#include "server/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "base/unique_handles_posix.h"

namespace dovrel::server {
namespace {

std::string Failure(const std::string& what, const std::string& path) {
  return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

// A new file beside `path` that nobody else made: O_EXCL refuses any name
// already taken, a link included.
unique_fd CreateTemporary(const std::string& path, std::string* temporary) {
  std::random_device random;
  for (int attempt = 0; attempt < 8; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".new-%08x", static_cast<unsigned>(random()));
    *temporary = path + suffix;
    unique_fd fd(open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      S_IRUSR | S_IWUSR));
    if (fd || errno != EEXIST) return fd;
  }
  return unique_fd();
}

bool WriteAll(int fd, std::string_view text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

// The rename is on disk once the folder holding it is.
void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
  const unique_fd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) fsync(fd.get());
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view text, mode_t mode,
                         std::string* error) {
  std::string temporary;
  unique_fd fd = CreateTemporary(path, &temporary);
  if (!fd) {
    *error = Failure("create a new file beside", path);
    return false;
  }
  // The mode is the one asked for, whatever the umask.
  const bool written = fchmod(fd.get(), mode) == 0 && WriteAll(fd.get(), text) &&
                       fsync(fd.get()) == 0 && ::close(fd.release()) == 0;
  if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
    *error = Failure(written ? "replace" : "write", written ? path : temporary);
    unlink(temporary.c_str());
    return false;
  }
  SyncFolderOf(path);
  return true;
}

}  // namespace dovrel::server
