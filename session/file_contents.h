#pragma once
// Takes a received file's decrypted text as it arrives and writes the file's
// bytes to a PartFile: the first "&"-separated pair file_size=S (the name in
// any letter case) gives S, and the bytes start one separator character after
// the first "file_contents"; both are looked for only before the text's first
// zero byte. When the bytes begin before S is known they go to a spill file
// first and are copied once the text is complete; memory stays fixed either way.
// Neither is begun when the folder's free space shows that it cannot fit.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/leading_integer.h"
#include "net/stream_search.h"
#include "pkcs7/encrypted_data_stream.h"
#include "session/file_output.h"

namespace dovrel {

// A leading integer of file_size, in 64 bits so that any file size fits.
inline std::int64_t ParseLeadingSize(const char* text, std::size_t length) {
  return ParseLeading<std::int64_t>(text, length);
}

class FileContents : public PlaintextSink {
 public:
  static constexpr std::size_t kSizeValueLimit = 3071;  // longer values are cut

  FileContents(const char* path, bool textMode);
  // The text is at most this long (the reply's announced length): a spill
  // then needs room for that much twice, itself and the file.
  void LimitText(std::uint64_t bytes) { textLimit_ = bytes; }
  bool Take(const unsigned char* bytes, std::size_t length) override;
  // The text is complete: writes what is left and moves the file into place
  // when the text holds S bytes after the key. False leaves the old file.
  bool Store();

 private:
  void Search(const unsigned char* bytes, std::size_t length);
  bool TakeFileBytes(const unsigned char* bytes, std::size_t length);
  bool CopySpill(std::uint64_t size);
  bool HasRoom(std::uint64_t bytes) const;

  bool textMode_;
  std::string folder_;
  std::uint64_t textLimit_ = UINT64_MAX;  // unknown
  PartFile file_;
  PartFile spill_;
  std::uint64_t position_ = 0;  // plaintext bytes taken
  bool zeroSeen_ = false;

  // file_size: the pair being compared, then its value.
  int compared_ = 0;  // characters of "file_size=" matched at the current pair start; -1: none
  bool sizeFound_ = false;
  bool sizeComplete_ = false;
  std::string sizeValue_;
  std::int64_t size_ = -1;

  StreamSearch key_;
  std::uint64_t fileStart_ = 0;  // valid once the key is found
  std::uint64_t written_ = 0;    // file bytes that went to the file or the spill
  bool spilling_ = false;
};

}  // namespace dovrel
