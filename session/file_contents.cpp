#include "session/file_contents.h"

#include <algorithm>
#include <cstring>

#include "base/ascii.h"
#include "session/folder_space.h"

namespace dovrel {
namespace {

constexpr char kSizeKey[] = "file_size=";
constexpr int kSizeKeyLength = sizeof kSizeKey - 1;
constexpr char kContentsKey[] = "file_contents";
constexpr std::size_t kSeparator = 1;  // the character after the key, not checked

// The folder part of a path with its trailing separator (which a drive root
// and a network share need), for the free-space query.
std::string FolderOf(const char* path) {
  const std::string text = path != nullptr ? path : "";
  const std::size_t separator = text.find_last_of("/\\");
  return separator == std::string::npos ? std::string(".") : text.substr(0, separator + 1);
}

}  // namespace

FileContents::FileContents(const char* path, bool textMode)
    : textMode_(textMode), folder_(FolderOf(path)), file_(path), spill_(path), key_(kContentsKey) {}

bool FileContents::Take(const unsigned char* bytes, std::size_t length) {
  const std::uint64_t start = position_;
  Search(bytes, length);
  position_ += length;
  if (!key_.Found() || fileStart_ >= position_) return true;
  const std::uint64_t from = std::max(start, fileStart_);
  return TakeFileBytes(bytes + (from - start), static_cast<std::size_t>(position_ - from));
}

// Both keys are looked for in the text before its first zero byte.
void FileContents::Search(const unsigned char* bytes, std::size_t length) {
  if (zeroSeen_) return;
  const char* text = reinterpret_cast<const char*>(bytes);
  const void* zero = std::memchr(text, '\0', length);
  const std::size_t textLength =
      zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : length;
  if (!key_.Found()) {
    const std::size_t at = key_.Find(text, textLength);
    if (at != StreamSearch::kNotHere) fileStart_ = position_ + at + kSeparator;
  }
  // A pair starts at the text's start and after every "&"; the first whose
  // name matches gives the value, which runs to the next "&" or the text's end.
  for (std::size_t i = 0; i < textLength && !sizeComplete_; ++i) {
    const char c = text[i];
    if (sizeFound_) {
      if (c == '&') {
        sizeComplete_ = true;
      } else if (sizeValue_.size() < kSizeValueLimit) {
        sizeValue_ += c;
      }
      continue;
    }
    if (compared_ >= 0) {
      const bool same =
          compared_ < kSizeKeyLength - 1 ? FoldAsciiCase(c) == kSizeKey[compared_] : c == '=';
      compared_ = same ? compared_ + 1 : -1;
      if (compared_ == kSizeKeyLength) sizeFound_ = true;
    }
    if (c == '&' && !sizeFound_) compared_ = 0;
  }
  if (zero != nullptr) {
    zeroSeen_ = true;
    if (sizeFound_) sizeComplete_ = true;
  }
  if (sizeComplete_ && size_ < 0 && sizeFound_)
    size_ = ParseLeadingSize(sizeValue_.c_str(), std::strlen(sizeValue_.c_str()));
}

// The file's next bytes: straight to the file once the size is known, to the
// spill until then.
bool FileContents::TakeFileBytes(const unsigned char* bytes, std::size_t length) {
  if (!spilling_ && sizeComplete_) {
    if (size_ < 0) return true;  // refused at the end
    const std::uint64_t wanted =
        static_cast<std::uint64_t>(size_) - std::min<std::uint64_t>(written_, size_);
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, length));
    if (take == 0) return true;
    if (!file_.IsOpen() && !HasRoom(static_cast<std::uint64_t>(size_))) return false;
    written_ += take;
    return file_.Open() && file_.Write(bytes, take, textMode_);
  }
  if (sizeComplete_ && (size_ < 0 || written_ >= static_cast<std::uint64_t>(size_))) return true;
  if (!spill_.IsOpen() && textLimit_ != UINT64_MAX &&
      !HasRoom(textLimit_ > UINT64_MAX / 2 ? UINT64_MAX : 2 * textLimit_))
    return false;
  spilling_ = true;
  written_ += length;
  return spill_.Open() && spill_.Write(bytes, length, false);
}

bool FileContents::Store() {
  if (sizeFound_ && !sizeComplete_) {
    sizeComplete_ = true;  // the value ran to the end of the text
    size_ = ParseLeadingSize(sizeValue_.c_str(), std::strlen(sizeValue_.c_str()));
  }
  if (!sizeFound_ || !key_.Found() || size_ < 0) return false;
  const std::uint64_t size = static_cast<std::uint64_t>(size_);
  if (fileStart_ > position_ || size > position_ - fileStart_) return false;
  if (spilling_ && !CopySpill(size)) return false;
  return file_.Open() && file_.Commit();
}

// False only when the platform tells that the bytes cannot fit.
bool FileContents::HasRoom(std::uint64_t bytes) const {
  std::uint64_t free = 0;
  return !platform::FreeBytes(folder_.c_str(), &free) || bytes <= free;
}

bool FileContents::CopySpill(std::uint64_t size) {
  if (!spill_.Rewind() || !file_.Open()) return false;
  unsigned char buffer[16384];
  for (std::uint64_t copied = 0; copied < size;) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buffer, size - copied));
    const std::size_t got = spill_.Read(buffer, want);
    if (got == 0 || !file_.Write(buffer, got, textMode_)) return false;
    copied += got;
  }
  return true;
}

}  // namespace dovrel
