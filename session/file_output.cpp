#include "session/file_output.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

namespace dovrel {
namespace {

constexpr std::size_t kPathSize = 260;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

bool WriteAll(std::FILE* file, const unsigned char* bytes, std::size_t size) {
  return size == 0 || std::fwrite(bytes, 1, size, file) == size;
}

// Every line feed goes out as CR LF; done here rather than by the C library's
// text mode, so the result is the same on every platform.
bool WriteWithCrLf(std::FILE* file, const unsigned char* bytes, std::size_t size) {
  static const unsigned char kCrLf[2] = {'\r', '\n'};
  std::size_t start = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (bytes[i] != '\n') continue;
    if (!WriteAll(file, bytes + start, i - start) || !WriteAll(file, kCrLf, 2)) return false;
    start = i + 1;
  }
  return WriteAll(file, bytes + start, size - start);
}

std::string TemporaryPathBeside(const char* path) {
  static std::atomic<unsigned> counter{0};
  return std::string(path) + "." + std::to_string(counter++) + ".part";
}

}  // namespace

bool StoreFile(const char* path, const unsigned char* bytes, std::size_t size, bool textMode) {
  const std::string temporary = TemporaryPathBeside(path);
  if (temporary.size() >= kPathSize) return false;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(temporary.c_str(), "wb"));
  if (!file) return false;
  bool written = textMode ? WriteWithCrLf(file.get(), bytes, size) : WriteAll(file.get(), bytes, size);
  // A full disk may only show when the buffers are flushed, so close is checked too.
  written = std::fflush(file.get()) == 0 && written;
  written = std::fclose(file.release()) == 0 && written;
  if (written && platform::MoveFileOver(temporary.c_str(), path)) return true;
  std::remove(temporary.c_str());
  return false;
}

}  // namespace dovrel
