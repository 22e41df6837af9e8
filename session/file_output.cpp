#include "session/file_output.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/platform_paths.h"
#include "session/folder_space.h"

namespace dovrel {
namespace {

constexpr std::size_t kLongestName = 8;  // "~" and seven letters or digits
constexpr char kPartFileSuffix[] = ".dovrel-part";
constexpr std::size_t kPartFileNameLength = kLongestName + sizeof kPartFileSuffix - 1;
constexpr std::int64_t kStalePartFileSeconds = 24 * 60 * 60;
constexpr unsigned kAttempts = 64;
constexpr char kNameDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";

bool WriteAll(std::FILE* file, const unsigned char* bytes, std::size_t size) {
  return size == 0 || std::fwrite(bytes, 1, size, file) == size;
}

// Every line feed goes out as CR LF; done here rather than by the C library's
// text mode, so the result is the same on every platform.
bool WriteWithCrLf(std::FILE* file, const unsigned char* bytes, std::size_t size) {
  static const unsigned char kCrLf[2] = {'\r', '\n'};
  const unsigned char* end = bytes + size;
  while (bytes < end) {
    auto* feed = static_cast<const unsigned char*>(
        std::memchr(bytes, '\n', static_cast<std::size_t>(end - bytes)));
    const unsigned char* stop = feed != nullptr ? feed : end;
    if (!WriteAll(file, bytes, static_cast<std::size_t>(stop - bytes))) return false;
    if (feed == nullptr) break;
    if (!WriteAll(file, kCrLf, 2)) return false;
    bytes = feed + 1;
  }
  return true;
}

// Differs between processes and between the files of one process.
unsigned long long NameSeed() {
  static const unsigned long long start =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  static std::atomic<unsigned> counter{0};
  return start * 6364136223846793005ull + counter++ * 1442695040888963407ull;
}

}  // namespace

std::string PartFileName(const std::string& finalPath, unsigned long long value) {
  const std::size_t separator = finalPath.find_last_of("/\\");
  const std::size_t folder = separator == std::string::npos ? 0 : separator + 1;
  if (folder + 1 >= kPathSize) return {};
  std::size_t length = kPathSize - 1 - folder;
  const bool full = length >= kPartFileNameLength;
  if (length > kLongestName) length = kLongestName;
  std::string name = finalPath.substr(0, folder) + "~";
  for (std::size_t i = 1; i < length; ++i) {
    name += kNameDigits[value % 36];
    value /= 36;
  }
  return full ? name + kPartFileSuffix : name;
}

bool IsPartFileName(const std::string& name) {
  const std::size_t digits = kLongestName - 1;
  if (name.size() != kPartFileNameLength || name[0] != '~' ||
      name.compare(1 + digits, std::string::npos, kPartFileSuffix) != 0)
    return false;
  for (std::size_t i = 1; i <= digits; ++i) {
    if (std::strchr(kNameDigits, name[i]) == nullptr || name[i] == '\0') return false;
  }
  return true;
}

void RemoveStalePartFiles(const char* folder) {
  if (folder == nullptr || folder[0] == '\0') return;
  std::vector<std::string> stale;
  platform::ForEachFileAge(folder, [&](const char* name, std::int64_t ageSeconds) {
    if (ageSeconds > kStalePartFileSeconds && IsPartFileName(name)) stale.emplace_back(name);
  });
  std::string path(folder);
  if (path.find_last_of("/\\") + 1 != path.size()) path += kPathSeparator;
  for (const std::string& name : stale) std::remove((path + name).c_str());
}

PartFile::~PartFile() { Discard(); }

bool PartFile::Open() {
  if (file_ != nullptr) return true;
  const unsigned long long seed = NameSeed();
  for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
    std::string candidate = PartFileName(finalPath_, seed + attempt * 7919ull);
    if (candidate.empty()) return false;
    file_ = platform::CreateNewFile(candidate.c_str());
    if (file_ != nullptr) {
      path_ = std::move(candidate);
      std::setvbuf(file_, nullptr, _IOFBF, 65536);
      return true;
    }
    // Only a name that is taken is worth another try, and only when there is
    // room for more than "~".
    if (errno != EEXIST || candidate.size() == finalPath_.find_last_of("/\\") + 2) return false;
  }
  return false;
}

bool PartFile::Write(const unsigned char* bytes, std::size_t size, bool textMode) {
  if (file_ == nullptr || failed_) return false;
  failed_ = !(textMode ? WriteWithCrLf(file_, bytes, size) : WriteAll(file_, bytes, size));
  return !failed_;
}

bool PartFile::Rewind() {
  if (file_ == nullptr || failed_ || std::fflush(file_) != 0) return false;
  std::rewind(file_);
  return true;
}

std::size_t PartFile::Read(unsigned char* out, std::size_t capacity) {
  return file_ == nullptr ? 0 : std::fread(out, 1, capacity, file_);
}

bool PartFile::Commit() {
  if (file_ == nullptr || failed_) return false;
  // A full disk may only show when the buffers are flushed, so close is checked too.
  bool written = std::fflush(file_) == 0;
  written = std::fclose(file_) == 0 && written;
  file_ = nullptr;
  if (written && platform::MoveFileOver(path_.c_str(), finalPath_.c_str())) {
    path_.clear();
    return true;
  }
  Discard();
  return false;
}

void PartFile::Discard() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!path_.empty()) std::remove(path_.c_str());
  path_.clear();
}

bool StoreFile(const char* path, const unsigned char* bytes, std::size_t size, bool textMode) {
  PartFile part(path);
  return part.Open() && part.Write(bytes, size, textMode) && part.Commit();
}

}  // namespace dovrel
