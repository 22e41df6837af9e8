#include "session/reply_stream.h"

#include <cstring>

#include "pkcs7/failure_sites.h"

namespace dovrel {

ReplyStream::ReplyStream(const char* localPath, bool textMode, const SessionKeys& keys)
    : resultCode_("<RESULT_CODE>", "</RESULT_CODE>", DelimitedBody::Closing::kAfterOpening),
      encrypted_("<ENC_DATA>", "</ENC_DATA>", DelimitedBody::Closing::kAfterOpening),
      secret_{keys.sessionKey, sizeof keys.sessionKey, keys.initVector, sizeof keys.initVector},
      contents_(localPath, textMode),
      body_(secret_, contents_, &error_, kSiteDecryptPemUnreadable),
      pem_(body_, &error_) {}

void ReplyStream::Feed(const char* bytes, std::size_t length) {
  // The reply is read as zero-terminated text: its first zero byte ends the
  // document, and nothing after it is looked at.
  if (ended_) return;
  if (const void* zero = length > 0 ? std::memchr(bytes, '\0', length) : nullptr) {
    length = static_cast<std::size_t>(static_cast<const char*>(zero) - bytes);
    ended_ = true;
  }
  for (std::string_view run : resultCode_.Read(bytes, length)) code_.Take(run.data(), run.size());
  // The element's text goes on to the PEM reader as it arrives.
  for (std::string_view run : encrypted_.Read(bytes, length)) {
    if (!run.empty()) pem_.Feed(run.data(), run.size());
  }
}

bool ReplyStream::ResultCodeIsZero() const { return resultCode_.Closed() && code_.Value() == 0; }

bool ReplyStream::Store() {
  if (!HasEncryptedData() || !pem_.Finish()) return false;
  return contents_.Store();
}

}  // namespace dovrel
