#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <ctime>
#include <string>

#include "base/unique_handles_posix.h"
#include "session/folder_space.h"

namespace dovrel::platform {

bool FreeBytes(const char* folder, std::uint64_t* bytes) {
  struct statvfs space {};
  if (folder == nullptr || bytes == nullptr || ::statvfs(folder, &space) != 0) return false;
  *bytes = static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
  return true;
}

void ForEachFileAge(const char* folder,
                    const std::function<void(const char* name, std::int64_t ageSeconds)>& visit) {
  if (folder == nullptr) return;
  const unique_dir directory(::opendir(folder));
  if (!directory) return;
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(directory.get())) {
    const std::string path = std::string(folder) + "/" + entry->d_name;
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
    visit(entry->d_name, static_cast<std::int64_t>(now - status.st_mtime));
  }
}

}  // namespace dovrel::platform
