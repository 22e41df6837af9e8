#include "server/file_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>

#include "base/unique_handles_posix.h"

namespace dovrel::server {
namespace {

// Entries of one open folder that are of the wanted kind. Symbolic links are
// not followed, so nothing outside the root is ever listed.
std::vector<std::string> FolderEntries(unique_fd folder, bool wantDirectories) {
  std::vector<std::string> names;
  if (!folder) return names;
  unique_dir dir(fdopendir(folder.get()));
  if (!dir) return names;
  folder.release();  // the DIR owns it now
  const int dirFd = dirfd(dir.get());
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    if (fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (wantDirectories ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode)) names.push_back(name);
  }
  return names;
}

unique_fd OpenFolderAt(int parent, const char* name) {
  return unique_fd(openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

}  // namespace

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

bool IsDateText(std::string_view text) {
  return text.size() == 8 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

FileStore::FileStore(std::string root, std::string wireCharset, WarningSink warn)
    : root_(std::move(root)),
      wireCharset_(std::move(wireCharset)),
      wire_(MakeIconvWireText(wireCharset_)),
      warn_(std::move(warn)) {}

unique_fd FileStore::OpenRoot() const {
  return unique_fd(open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

unique_fd FileStore::OpenDateFolder(const std::string& date) const {
  // The date folder itself must not be a symbolic link: opened by its name
  // inside the root, without following one.
  const unique_fd root = OpenRoot();
  if (!root) return unique_fd();
  return OpenFolderAt(root.get(), date.c_str());
}

std::vector<std::string> FileStore::DateFolders() const {
  std::vector<std::string> dates = FolderEntries(OpenRoot(), true);
  dates.erase(std::remove_if(dates.begin(), dates.end(),
                             [](const std::string& d) { return !IsDateText(d); }),
              dates.end());
  std::sort(dates.rbegin(), dates.rend());
  return dates;
}

void FileStore::ListFolder(const std::string& date, std::vector<std::string>* utf8Names) const {
  std::vector<std::string> names = FolderEntries(OpenDateFolder(date), false);
  std::sort(names.begin(), names.end());
  utf8Names->insert(utf8Names->end(), names.begin(), names.end());
}

std::vector<std::string> FileStore::List(std::string_view date) const {
  std::vector<std::string> wireNames;
  if (!IsDateText(date)) return wireNames;  // never a path: only date folders are served
  std::vector<std::string> utf8Names;
  if (date == kAllDates) {
    for (const std::string& folder : DateFolders()) ListFolder(folder, &utf8Names);
  } else {
    ListFolder(std::string(date), &utf8Names);  // a missing folder lists nothing
  }

  std::set<std::string> seen;  // the newest of equal names is the one GET serves
  for (const std::string& name : utf8Names) {
    std::string wire;
    if (!wire_ || !wire_->FromUtf8(name, &wire)) {
      warn_("left out of the list, no " + wireCharset_ + " form: " + name);
      continue;
    }
    if (wire.find('|') != std::string::npos) {
      warn_("left out of the list, holds the separator \"|\": " + name);
      continue;
    }
    if (seen.insert(wire).second) wireNames.push_back(std::move(wire));
  }
  return wireNames;
}

FindResult FileStore::Open(std::string_view wireName, OpenedFile* file) const {
  if (!IsPlainFileName(wireName)) return FindResult::kInvalidName;
  std::string name;
  if (!wire_ || !wire_->ToUtf8(wireName, &name) || !IsPlainFileName(name)) {
    return FindResult::kInvalidName;
  }

  for (const std::string& date : DateFolders()) {
    const unique_fd folder = OpenDateFolder(date);
    if (!folder) continue;  // gone, or replaced by a symbolic link meanwhile
    // O_NONBLOCK keeps a FIFO planted in the folder from stalling the open.
    unique_fd fd(
        openat(folder.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
      if (errno == ENOENT || errno == ENOTDIR) continue;
      if (errno == ELOOP) continue;  // a symbolic link: not served
      return FindResult::kUnreadable;
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0) return FindResult::kUnreadable;
    if (!S_ISREG(info.st_mode)) continue;
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags != -1) fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    file->descriptor = std::move(fd);
    file->size = static_cast<std::uint64_t>(info.st_size);
    return FindResult::kFound;
  }
  return FindResult::kNotFound;
}

}  // namespace dovrel::server
