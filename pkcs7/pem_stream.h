#pragma once
// The base64 body of a PEM "PKCS7 ENCRYPTED DATA" text, taken as the text
// arrives: the body runs from the first BEGIN marker to the first END marker
// (an END marker that starts before the body does fails it), and is decoded
// on the way to the EncryptedData reader. The text ends at its first zero
// byte; other control characters and everything else outside the alphabet
// are skipped by the decoder.

#include <cstddef>

#include "net/codecs.h"
#include "net/delimited_body.h"
#include "pkcs7/crypto_error.h"
#include "pkcs7/encrypted_data_stream.h"

namespace dovrel {

class PemBodyStream {
 public:
  PemBodyStream(EncryptedDataStream& body, CryptoErrorRecord* error);

  void Feed(const char* text, std::size_t length);
  // The text has ended: true when the body was complete and decrypted.
  bool Finish();
  bool Failed() const { return failed_; }

 private:
  void Decode(const char* text, std::size_t length);
  void Fail(int reason, const char* detail);

  EncryptedDataStream& body_;
  CryptoErrorRecord* error_;
  DelimitedBody text_;
  Base64Decoder decoder_;
  bool textEnded_ = false;  // a zero byte has arrived
  bool failed_ = false;
  unsigned char out_[3 * 1024 + 8] = {};
};

}  // namespace dovrel
