#pragma once
// The little the folder listing and the receive checks need from the file
// system: does a path exist, may a new file be made in a directory, which
// "*.txt" entries does a directory hold, and the clock's offset from UTC.
// directory_posix.cpp and directory_win32.cpp implement it per platform.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/platform_paths.h"

namespace dovrel {

struct DirectoryEntry {
  std::string name;  // in the file system's own encoding (ANSI on Windows)
  bool isDirectory = false;
  std::uint64_t size = 0;
  std::int64_t lastWriteUtc = 0;  // seconds since 1970-01-01 00:00 UTC
};

class DirectorySource {
 public:
  virtual ~DirectorySource() = default;
  // True when any file system entry (file or directory) has this path.
  virtual bool Exists(const std::string& path) const = 0;
  // True when the path names a directory.
  virtual bool IsDirectory(const std::string& path) const = 0;
  // True when a new file can be made in `directory`: one is made under a
  // drawn name and removed again, so nothing stays behind.
  virtual bool AcceptsNewFiles(const std::string& directory) const = 0;
  // Calls `visit` for each entry of `directory` whose name matches "*.txt",
  // letter case ignored, in the order the file system gives them. The
  // enumeration stays open while `visit` runs, so it may list a subdirectory.
  virtual void ForEachTxtEntry(const std::string& directory,
                               const std::function<void(const DirectoryEntry&)>& visit) const = 0;
};

const DirectorySource& PlatformDirectorySource();

inline constexpr char kTxtPattern[] = "*.txt";

// The platform's "*.txt" wildcard: any name ending in ".txt", letter case ignored.
bool MatchesTxtPattern(std::string_view name);

// A fresh name for that probe's file, unlikely to be any user's.
std::string DrawProbeFileName();

// How many drawn names the probe tries before it takes the folder as refusing.
inline constexpr int kProbeAttempts = 4;

// Local time minus UTC, in seconds, as in force at this moment.
std::int64_t CurrentUtcOffsetSeconds();

}  // namespace dovrel
