#include "pkcs7/pem_stream.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cstring>

#include "pkcs7/failure_sites.h"
#include "pkcs7/pem_body.h"
#include "pkcs7/pkcs7.h"

namespace dovrel {
namespace {

constexpr std::size_t kTextSlice = 4096;  // decodes to at most 3 * 1024 + 3 bytes

}  // namespace

PemBodyStream::PemBodyStream(EncryptedDataStream& body, CryptoErrorRecord* error)
    : body_(body),
      error_(error),
      // The END marker is looked for from the very start, as in the whole text.
      text_(kEncryptedDataBegin, kEncryptedDataEnd, DelimitedBody::Closing::kAnywhere) {}

void PemBodyStream::Feed(const char* text, std::size_t length) {
  if (failed_ || textEnded_) return;
  // The text ends at its first zero byte, as a zero-terminated text does.
  if (const void* zero = length > 0 ? std::memchr(text, '\0', length) : nullptr) {
    length = static_cast<std::size_t>(static_cast<const char*>(zero) - text);
    textEnded_ = true;
  }
  const DelimitedBody::Runs runs = text_.Read(text, length);
  if (text_.OutOfOrder()) {
    Fail(PEM_R_NO_START_LINE, "PKCS7 ENCRYPTED DATA markers out of order");
    return;
  }
  for (std::string_view run : runs) Decode(run.data(), run.size());
}

bool PemBodyStream::Finish() {
  if (failed_) return false;
  if (!text_.Closed()) {
    Fail(PEM_R_NO_START_LINE, "PKCS7 ENCRYPTED DATA markers missing");
    return false;
  }
  return body_.Finish();
}

void PemBodyStream::Decode(const char* text, std::size_t length) {
  for (std::size_t done = 0; done < length && !failed_;) {
    const std::size_t slice = std::min(kTextSlice, length - done);
    std::size_t produced = 0;
    const bool decoded = decoder_.Feed(text + done, slice, out_, sizeof out_, &produced);
    if (produced > 0 && !body_.Feed(out_, produced)) failed_ = true;
    if (!decoded && !failed_) Fail(PEM_R_BAD_BASE64_DECODE, kEncryptedDataLabel);
    done += slice;
  }
}

void PemBodyStream::Fail(int reason, const char* detail) {
  failed_ = true;
  ERR_raise_data(ERR_LIB_PEM, reason, "%s", detail);
  if (error_ != nullptr) FormatCryptoError(error_, kCryptoTag, kSiteDecryptPemUnreadable);
}

}  // namespace dovrel
