#include <windows.h>

#include "base/win32/unique_handles_win32.h"
#include "session/directory.h"

namespace dovrel {
namespace {

// 100-nanosecond ticks between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochDifferenceTicks = 116444736000000000;
constexpr std::int64_t kTicksPerSecond = 10000000;

std::int64_t Ticks(const FILETIME& time) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(time.dwHighDateTime) << 32 |
                                   time.dwLowDateTime);
}

// Whole seconds since 1970, rounded down also for earlier times.
std::int64_t UnixSeconds(const FILETIME& time) {
  const std::int64_t ticks = Ticks(time) - kEpochDifferenceTicks;
  std::int64_t seconds = ticks / kTicksPerSecond;
  if (ticks % kTicksPerSecond != 0 && ticks < 0) --seconds;
  return seconds;
}

class Win32DirectorySource final : public DirectorySource {
 public:
  bool Exists(const std::string& path) const override {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  bool IsDirectory(const std::string& path) const override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  // The probe's file is gone when its handle closes, even if this process
  // ends in between; no other opener may share it meanwhile.
  bool AcceptsNewFiles(const std::string& directory) const override {
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
      const std::string path = directory + "\\" + DrawProbeFileName();
      const unique_file probe(CreateFileA(
          path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
          FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
      if (probe) return true;
      if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
  }

  void ForEachTxtEntry(const std::string& directory,
                       const std::function<void(const DirectoryEntry&)>& visit) const override {
    const std::string pattern = directory + "\\" + kTxtPattern;
    WIN32_FIND_DATAA data;
    const unique_find find(FindFirstFileA(pattern.c_str(), &data));
    if (!find) return;
    do {
      DirectoryEntry entry;
      entry.name = data.cFileName;
      entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      entry.size = static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
      entry.lastWriteUtc = UnixSeconds(data.ftLastWriteTime);
      visit(entry);
    } while (FindNextFileA(find.get(), &data));
  }
};

}  // namespace

const DirectorySource& PlatformDirectorySource() {
  static const Win32DirectorySource source;
  return source;
}

std::int64_t CurrentUtcOffsetSeconds() {
  // The bias that FileTimeToLocalFileTime applies now, to any file time.
  FILETIME utc;
  FILETIME local;
  GetSystemTimeAsFileTime(&utc);
  if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
  return (Ticks(local) - Ticks(utc)) / kTicksPerSecond;
}

}  // namespace dovrel
