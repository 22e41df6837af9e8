#include "session/reply_stream.h"

#include <cstring>

#include "session/failure_sites.h"

namespace dovrel {
namespace {

// Skips the piece up to the end of the opening tag; false while the tag has
// not been seen.
bool PassOpening(StreamSearch& opening, const char** bytes, std::size_t* length) {
  if (opening.Found()) return true;
  const std::size_t at = opening.Find(*bytes, *length);
  if (at == StreamSearch::kNotHere) return false;
  *bytes += at;
  *length -= at;
  return true;
}

}  // namespace

ReplyStream::ReplyStream(const char* localPath, bool textMode, const SessionKeys& keys)
    : codeOpen_("<RESULT_CODE>"),
      codeClose_("</RESULT_CODE>"),
      encOpen_("<ENC_DATA>"),
      encClose_("</ENC_DATA>"),
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
  ScanResultCode(bytes, length);
  ScanEncryptedData(bytes, length);
}

bool ReplyStream::ResultCodeIsZero() const { return codeClose_.Found() && code_.Value() == 0; }

bool ReplyStream::Store() {
  if (!HasEncryptedData() || !pem_.Finish()) return false;
  return contents_.Store();
}

// The value's bytes are read up to the closing tag; its "<" would end the
// number anyway, so nothing needs holding back.
void ReplyStream::ScanResultCode(const char* bytes, std::size_t length) {
  if (codeClose_.Found() || !PassOpening(codeOpen_, &bytes, &length)) return;
  const std::size_t at = codeClose_.Find(bytes, length);
  const std::size_t value = at == StreamSearch::kNotHere ? length : at;
  code_.Take(bytes, value);
}

// The element's text goes on as it arrives, except for the last bytes that
// may begin </ENC_DATA>: those are the tag's own first bytes, passed on once
// they turn out not to be it.
void ReplyStream::ScanEncryptedData(const char* bytes, std::size_t length) {
  if (encClose_.Found() || !PassOpening(encOpen_, &bytes, &length)) return;
  const std::size_t held = encClose_.Pending();
  const std::size_t at = encClose_.Find(bytes, length);
  const std::size_t tag = encClose_.Pattern().size();
  // Stream positions relative to this piece's start; held bytes lie before it.
  const std::ptrdiff_t end =
      at != StreamSearch::kNotHere
          ? static_cast<std::ptrdiff_t>(at) - static_cast<std::ptrdiff_t>(tag)
          : static_cast<std::ptrdiff_t>(length) - static_cast<std::ptrdiff_t>(encClose_.Pending());
  const std::ptrdiff_t from = -static_cast<std::ptrdiff_t>(held);
  if (end <= from) return;
  const std::ptrdiff_t heldUsed = std::min<std::ptrdiff_t>(end, 0) - from;
  if (heldUsed > 0) pem_.Feed(encClose_.Pattern().data(), static_cast<std::size_t>(heldUsed));
  if (end > 0) pem_.Feed(bytes, static_cast<std::size_t>(end));
}

}  // namespace dovrel
