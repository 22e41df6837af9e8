#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "base/unique_handles_posix.h"
#include "session/directory.h"

namespace dovrel {
namespace {

class PosixDirectorySource final : public DirectorySource {
 public:
  bool Exists(const std::string& path) const override {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
  }

  bool IsDirectory(const std::string& path) const override {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
  }

  bool AcceptsNewFiles(const std::string& directory) const override {
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
      const std::string path = directory + '/' + DrawProbeFileName();
      const unique_fd probe(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
      if (probe) {
        unlink(path.c_str());
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  void ForEachTxtEntry(const std::string& directory,
                       const std::function<void(const DirectoryEntry&)>& visit) const override {
    unique_dir opened(opendir(directory.c_str()));
    if (!opened) return;
    while (const dirent* found = readdir(opened.get())) {
      DirectoryEntry entry;
      entry.name = found->d_name;
      if (!MatchesTxtPattern(entry.name)) continue;
      struct stat status;
      // Follows links, as the Windows enumeration reports a link's target
      // kind; an entry that cannot be read (a dangling link) is passed over.
      if (stat((directory + '/' + entry.name).c_str(), &status) != 0) continue;
      entry.isDirectory = S_ISDIR(status.st_mode);
      entry.size = status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
      entry.lastWriteUtc = static_cast<std::int64_t>(status.st_mtime);
      visit(entry);
    }
  }
};

}  // namespace

const DirectorySource& PlatformDirectorySource() {
  static const PosixDirectorySource source;
  return source;
}

std::int64_t CurrentUtcOffsetSeconds() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return 0;
  return static_cast<std::int64_t>(local.tm_gmtoff);
}

}  // namespace dovrel
