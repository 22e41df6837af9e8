#pragma once
// The cipher over an EncryptedData's content, taken piece by piece, its
// plaintext going on to a sink. The content's length is checked against a
// limit as it arrives, so nothing past the limit is deciphered.

#include <cstddef>
#include <cstdint>

#include "pkcs7/cipher_choice.h"
#include "pkcs7/crypto_error.h"
#include "pkcs7/crypto_ptr.h"

namespace dovrel {

// Where the plaintext goes. Take returns false to stop the decryption (a full
// disk, an output that is too small).
class PlaintextSink {
 public:
  virtual bool Take(const unsigned char* bytes, std::size_t length) = 0;

 protected:
  ~PlaintextSink() = default;
};

class ContentDecryptor {
 public:
  // Each step below returns false on a failure, which it writes to `error`.
  ContentDecryptor(const SessionSecret& secret, PlaintextSink& sink, CryptoErrorRecord* error,
                   std::uint64_t contentLimit);

  // Under `cipher`, which must outlive the decryption.
  bool Start(const EVP_CIPHER* cipher);
  bool Update(const unsigned char* bytes, std::size_t length);
  // The final block.
  bool Finish();

 private:
  bool Fail(int site);

  SessionSecret secret_;
  PlaintextSink& sink_;
  CryptoErrorRecord* error_;
  std::uint64_t contentLimit_;
  std::uint64_t contentSeen_ = 0;
  UniquePtr<EVP_CIPHER_CTX> context_;
  unsigned char plain_[16384 + 64] = {};
};

}  // namespace dovrel
