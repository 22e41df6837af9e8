#pragma once
// How received files reach the receive folder: never at the cost of the copy
// already there.

#include <cstddef>
#include <cstdio>
#include <string>

namespace dovrel {

// A new file beside `finalPath`, under a short name of its own, that takes
// the final path's place only once it is complete. Removed unless committed.
class PartFile {
 public:
  explicit PartFile(const char* finalPath) : finalPath_(finalPath != nullptr ? finalPath : "") {}
  ~PartFile();
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  // Creates the file (never one that exists); false when none can be made.
  bool Open();
  bool IsOpen() const { return file_ != nullptr; }
  // In text mode every line feed goes out as CR LF. False once a write failed.
  bool Write(const unsigned char* bytes, std::size_t size, bool textMode);
  // Reads the bytes written so far from the start, for a file used as a spill.
  bool Rewind();
  std::size_t Read(unsigned char* out, std::size_t capacity);
  // Flushes, closes and moves the file over the final path.
  bool Commit();
  const std::string& Path() const { return path_; }

 private:
  void Discard();

  std::string finalPath_;
  std::string path_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

// The name PartFile uses in the folder of `finalPath`: "~", seven letters
// and digits and ".dovrel-part"; where that would take the path beyond 259
// characters, "~" and up to seven letters and digits, as many as fit; an
// empty text when even "~" does not fit. `value` picks among the names.
std::string PartFileName(const std::string& finalPath, unsigned long long value);

// True for a name of the full form above, which no other program makes.
bool IsPartFileName(const std::string& name);

// Removes the PartFiles that a process ended mid-transfer left in `folder`:
// files of the full name form whose last write is more than a day old.
void RemoveStalePartFiles(const char* folder);

// Writes the bytes through a PartFile (every line feed as CR LF in text mode).
// On any failure an existing `path` is untouched.
bool StoreFile(const char* path, const unsigned char* bytes, std::size_t size, bool textMode);

namespace platform {
bool MoveFileOver(const char* from, const char* to);  // atomic where the platform allows
std::FILE* CreateNewFile(const char* path);           // read and write, binary; fails if it exists
}  // namespace platform

}  // namespace dovrel
