#include "server/state_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace dovrel::server {

unique_fd OpenStateFolder(const std::string& path, std::string* error) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    *error = "cannot create the state folder " + path + ": " + std::strerror(errno);
    return unique_fd();
  }
  unique_fd folder(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat info {};
  if (!folder || fstat(folder.get(), &info) != 0) {
    *error = "cannot open the state folder " + path + ": " + std::strerror(errno);
    return unique_fd();
  }
  if (info.st_uid != geteuid()) {
    *error = "the state folder " + path + " belongs to another user (uid " +
             std::to_string(info.st_uid) + "): use a folder of your own";
    return unique_fd();
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    *error = "the state folder " + path + " may be written by group or others (mode " + mode +
             "): chmod go-w it";
    return unique_fd();
  }
  return folder;
}

bool StateFileTaken(int folder, const char* name) {
  struct stat info {};
  return fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool ReadStateFile(int folder, const char* name, const std::string& shown, std::string* text,
                   std::string* error) {
  // O_NONBLOCK: a planted pipe must not hang the start.
  const unique_fd file(openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!file) {
    *error = "cannot read " + shown + ": " +
             (errno == ELOOP ? std::string("it is a symbolic link") : std::strerror(errno));
    return false;
  }
  if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::size_t>(info.st_size) > kStateFileLimit) {
    *error = "cannot read " + shown + ": not a plain file of at most " +
             std::to_string(kStateFileLimit) + " bytes";
    return false;
  }
  text->assign(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t got = 0;
  while (got < text->size()) {
    const ssize_t n = read(file.get(), text->data() + got, text->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = "cannot read " + shown + ": " + (n < 0 ? std::strerror(errno) : "it shrank");
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace dovrel::server
