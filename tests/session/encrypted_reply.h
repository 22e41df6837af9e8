#pragma once
// GET replies made by the test itself, for a scripted server: the plaintext
// (normally "file_size=N&file_contents=" and the bytes) encrypted with
// CAST5-CBC as a PEM "PKCS7 ENCRYPTED DATA" body inside a reply document.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "session/session_keys.h"

namespace dovrel::test {

// Test keys: a fixed session key and initial vector with a short SKEY.
SessionKeys FixedKeys();

// With `pad` false the plaintext (a whole number of blocks) is encrypted as
// it is, so its last block decides whether the padding checks out.
std::string EncryptedDataPem(const std::string& plaintext, const SessionKeys& keys,
                             bool pad = true);

// A whole reply document with RESULT_CODE 0000 and ENC_DATA.
std::string GetReply(const std::string& plaintext, const SessionKeys& keys);

// "file_size=N&file_contents=" followed by the bytes.
std::string FilePlaintext(const std::string& bytes);

}  // namespace dovrel::test

namespace dovrel::test {

// A GET reply for a file of `fileSize` pseudo-random bytes, made piece by
// piece as it is sent, so that a file of any size costs the sender a few
// kilobytes: RESULT_CODE 0000 and ENC_DATA with CAST5-CBC under the keys.
class StreamedGetReply {
 public:
  StreamedGetReply(const SessionKeys& keys, std::uint64_t fileSize, std::uint32_t seed);
  ~StreamedGetReply();
  StreamedGetReply(const StreamedGetReply&) = delete;
  StreamedGetReply& operator=(const StreamedGetReply&) = delete;

  std::uint64_t Length() const { return length_; }
  // The next bytes of the reply; 0 at its end.
  std::size_t Next(char* out, std::size_t capacity);
  // The file's bytes from the start, as the reply carries them.
  static void FileBytes(std::uint32_t seed, std::uint64_t from, unsigned char* out,
                        std::size_t count);

 private:
  void Refill();

  struct State;
  std::unique_ptr<State> state_;
  std::uint64_t length_ = 0;
};

}  // namespace dovrel::test
