#pragma once
// One GET reply, taken piece by piece as it arrives and carried straight
// through to a temporary file beside the local path: the first RESULT_CODE,
// and the text between the first <ENC_DATA> and the first </ENC_DATA> after
// it, are found as whole-reply lookup finds them; that text goes through the
// PEM body reader, the base64 decoder, the EncryptedData reader and the
// cipher to the file_size / file_contents reader and the file. Every stage
// holds a fixed window, whatever the reply's size. The outcome waits for the
// reply's end: only then does the new file replace the old one, and only when
// the whole reply passes every rule. Like the whole reply, the document
// ends at its first zero byte.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/leading_integer.h"
#include "net/delimited_body.h"
#include "pkcs7/crypto_error.h"
#include "pkcs7/encrypted_data_stream.h"
#include "session/file_contents.h"
#include "pkcs7/pem_stream.h"
#include "session/session_keys.h"

namespace dovrel {

class ReplyStream {
 public:
  ReplyStream(const char* localPath, bool textMode, const SessionKeys& keys);
  ReplyStream(const ReplyStream&) = delete;
  ReplyStream& operator=(const ReplyStream&) = delete;

  // The reply's length as the server announced it, before the first Feed.
  void Announce(std::uint64_t length) { contents_.LimitText(length); }
  void Feed(const char* bytes, std::size_t length);

  // Once the whole reply is in:
  // RESULT_CODE is there, closed, and reads as 0.
  bool ResultCodeIsZero() const;
  // ENC_DATA is there and closed.
  bool HasEncryptedData() const { return encrypted_.Closed(); }
  // Decrypts what is left and stores the file; false leaves the old file.
  bool Store();

 private:
  DelimitedBody resultCode_;
  LeadingInteger<std::int32_t> code_;
  DelimitedBody encrypted_;
  bool ended_ = false;  // a zero byte has arrived

  CryptoErrorRecord error_{};
  SessionSecret secret_;
  FileContents contents_;
  EncryptedDataStream body_;
  PemBodyStream pem_;
};

}  // namespace dovrel
