#pragma once
// Decodes and decrypts the ENC_DATA of a GET reply while the reply is still
// arriving, over the reply buffer itself, so that a large file is ready
// moments after its last byte instead of a whole decode and decrypt later.
//
// The outcome is the one the whole-reply path reaches. Streaming starts only
// once RESULT_CODE 0, then the opening of ENC_DATA and its BEGIN marker have
// arrived, in that order; a body it cannot follow to the end is handed, once
// decoded, to the same decryption that the whole-reply path ends in.

#include <cstddef>

#include "net/codecs.h"
#include "session/crypto_ptr.h"
#include "session/session_keys.h"

namespace dovrel {

class ReplyDecryptor {
 public:
  enum class Outcome {
    kNotStarted,  // the buffer is untouched: decide on the whole reply
    kDecrypted,   // the plaintext lies inside the buffer
    kFailed,      // the reply's ENC_DATA cannot be decrypted
  };

  ReplyDecryptor(char* reply, std::size_t capacity, const SessionKeys& keys)
      : reply_(reply), capacity_(capacity), keys_(keys) {}

  // Called after each read with the number of bytes received so far.
  void Advance(std::size_t received);

  // Called once, when the whole reply of `length` bytes is in.
  Outcome Finish(std::size_t length, unsigned char** plaintext, std::size_t* plaintextLength);

  // Whether the content is being decrypted while it arrives, rather than by
  // the decryption of the whole body at the end.
  bool DecryptingWhileArriving() const { return cipher_ != nullptr; }

 private:
  enum class Phase { kSeekElement, kSeekBegin, kDecode, kBodyEnded, kOff, kFailed };

  void SeekElement(std::size_t received);
  void SeekBegin(std::size_t received);
  void Decode(std::size_t received);
  bool FeedDecoder(std::size_t from, std::size_t to);
  void StartDecryption();
  void DecryptArrived();
  bool FinishDecryption(unsigned char** plaintext, std::size_t* plaintextLength);
  unsigned char* Der() const { return reinterpret_cast<unsigned char*>(reply_ + bodyStart_); }

  char* reply_;
  std::size_t capacity_;
  const SessionKeys& keys_;
  Phase phase_ = Phase::kSeekElement;
  std::size_t scanned_ = 0;      // how far ENC_DATA's opening has been looked for
  std::size_t elementText_ = 0;  // the first byte of the ENC_DATA text
  std::size_t bodyStart_ = 0;    // just after the BEGIN marker: the decoded body goes here
  std::size_t decodedUpTo_ = 0;  // the text before this has gone through the decoder
  Base64Decoder decoder_;

  // Decryption of the content as it is decoded: whole blocks, the last one
  // held back for its padding.
  UniquePtr<EVP_CIPHER_CTX> cipher_;
  bool decryptionTried_ = false;
  std::size_t contentOffset_ = 0;  // within the decoded body
  std::size_t contentLength_ = 0;
  std::size_t decrypted_ = 0;  // content bytes already decrypted
  std::size_t blockSize_ = 0;
};

}  // namespace dovrel
