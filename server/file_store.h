#pragma once
// The served folder, laid out as ROOT/YYYYMMDD/NAME. Names travel in the
// wire's code page; on disk they are UTF-8.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/unique_handles_posix.h"
#include "net/wire_text.h"

namespace dovrel::server {

inline constexpr char kAllDates[] = "00000000";
// The code page of file names on the wire; on disk they are UTF-8.
inline constexpr char kDefaultWireCharset[] = "CP949";

using WarningSink = std::function<void(const std::string&)>;

// A plain file name: not empty, not "." or "..", no "/", "\" or zero byte.
bool IsPlainFileName(std::string_view name);
// Eight ASCII digits: the names of the date folders and the dates a listing takes.
bool IsDateText(std::string_view text);

struct OpenedFile {
  unique_fd descriptor;
  std::uint64_t size = 0;
};

enum class FindResult { kFound, kInvalidName, kNotFound, kUnreadable };

class FileStore {
 public:
  // A code page iconv does not know converts no name: nothing is listed or served.
  FileStore(std::string root, std::string wireCharset, WarningSink warn);

  // The names of one date's files, or of every date's for "00000000" (newest
  // date first, a name listed once), in the wire's code page and sorted
  // within a date. Names that cannot travel (no counterpart in the code
  // page, or holding the list separator "|") are left out with a warning.
  // A date that is not eight digits has no folder: nothing is listed.
  std::vector<std::string> List(std::string_view date) const;

  // Opens the newest file named `wireName` among the date folders.
  FindResult Open(std::string_view wireName, OpenedFile* file) const;

 private:
  unique_fd OpenRoot() const;
  // The date folder by its name inside the root; a symbolic link is not
  // followed (the descriptor is empty).
  unique_fd OpenDateFolder(const std::string& date) const;
  std::vector<std::string> DateFolders() const;  // newest first
  void ListFolder(const std::string& date, std::vector<std::string>* utf8Names) const;

  std::string root_;
  std::string wireCharset_;
  std::unique_ptr<WireText> wire_;  // nullptr for an unknown code page
  WarningSink warn_;
};

}  // namespace dovrel::server
