#include "session/reply_decryptor.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "net/message.h"
#include "session/cipher_choice.h"
#include "session/crypto_init.h"
#include "session/encrypted_data_parts.h"
#include "session/pem_body.h"
#include "session/pkcs7.h"

namespace dovrel {
namespace {

constexpr std::string_view kOpenTag = "<ENC_DATA>";
constexpr std::string_view kCloseTag = "</ENC_DATA>";
constexpr std::string_view kBegin = kEncryptedDataBegin;
constexpr std::string_view kEnd = kEncryptedDataEnd;

// The header of an EncryptedData is a few dozen bytes; this much decoded body
// is enough to read it, whatever the algorithm's parameters.
constexpr std::size_t kHeaderWindow = 1024;
// How far into the reply ENC_DATA and its BEGIN marker are looked for before
// streaming leaves the reply to the whole-reply path: the server sends the
// short elements first.
constexpr std::size_t kElementSearchLimit = 65536;
constexpr std::size_t kBeginSearchLimit = 4096;

// The length of a DER body from its first octets: 0 while they have not all
// arrived, or when the body is not a definite-length SEQUENCE.
std::size_t DeclaredDerLength(const unsigned char* der, std::size_t available) {
  if (available < 2 || der[0] != 0x30) return 0;
  if (der[1] < 0x80) return 2 + std::size_t{der[1]};
  const std::size_t octets = der[1] & 0x7F;
  if (octets == 0 || octets > 4 || available < 2 + octets) return 0;
  std::size_t length = 0;
  for (std::size_t i = 0; i < octets; ++i) length = length << 8 | der[2 + i];
  return 2 + octets + length;
}

}  // namespace

void ReplyDecryptor::Advance(std::size_t received) {
  if (phase_ == Phase::kSeekElement) SeekElement(received);
  if (phase_ == Phase::kSeekBegin) SeekBegin(received);
  if (phase_ == Phase::kDecode) Decode(received);
}

// RESULT_CODE must be whole and 0 before ENC_DATA opens: then the streamed
// bytes cannot change what the whole-reply path reads of it.
void ReplyDecryptor::SeekElement(std::size_t received) {
  std::string_view text(reply_, received);
  std::size_t from = scanned_ > kOpenTag.size() ? scanned_ - kOpenTag.size() : 0;
  std::size_t open = text.find(kOpenTag, from);
  scanned_ = received;
  if (open == std::string_view::npos) {
    if (received > kElementSearchLimit) phase_ = Phase::kOff;
    return;
  }
  auto code = FindElementText(text.substr(0, open), "RESULT_CODE");
  if (!code || ParseLeadingInteger(std::string(*code).c_str()) != 0) {
    phase_ = Phase::kOff;
    return;
  }
  elementText_ = open + kOpenTag.size();
  phase_ = Phase::kSeekBegin;
}

// The BEGIN marker must come before the element's end and before any END marker.
void ReplyDecryptor::SeekBegin(std::size_t received) {
  std::string_view text(reply_ + elementText_, received - elementText_);
  std::size_t begin = text.find(kBegin);
  std::size_t searched = begin == std::string_view::npos ? text.size() : begin + kBegin.size();
  std::string_view before = text.substr(0, searched);
  if (before.find(kCloseTag) != std::string_view::npos || before.find(kEnd) != std::string_view::npos ||
      (begin == std::string_view::npos && text.size() > kBeginSearchLimit)) {
    phase_ = Phase::kOff;
    return;
  }
  if (begin == std::string_view::npos) return;
  bodyStart_ = elementText_ + begin + kBegin.size();
  decodedUpTo_ = bodyStart_;
  phase_ = Phase::kDecode;
}

// Decodes the body up to the next "-" or "<": either may start the END marker
// or the element's end, which are told apart once enough has arrived.
void ReplyDecryptor::Decode(std::size_t received) {
  while (phase_ == Phase::kDecode) {
    std::size_t stop = decodedUpTo_;
    while (stop < received && reply_[stop] != '-' && reply_[stop] != '<') ++stop;
    if (!FeedDecoder(decodedUpTo_, stop)) return;
    if (stop == received) break;
    std::string_view rest(reply_ + stop, received - stop);
    const std::string_view& marker = reply_[stop] == '-' ? kEnd : kCloseTag;
    if (rest.size() < marker.size()) break;  // wait for more
    if (rest.substr(0, marker.size()) == marker) {
      // The END marker ends the body; the element ending first means no body.
      phase_ = marker == kEnd ? Phase::kBodyEnded : Phase::kFailed;
      break;
    }
    decodedUpTo_ = stop + 1;  // a stray character, skipped as the decoder would
  }
  if (!decryptionTried_ && decoder_.Written() >= kHeaderWindow) StartDecryption();
  if (cipher_ != nullptr) DecryptArrived();
}

// The decoded bytes go to the start of the body: they never overtake the
// text still to be read. Control characters, dropped from a body before it is
// decoded, are skipped by the decoder like every other character outside the
// alphabet.
bool ReplyDecryptor::FeedDecoder(std::size_t from, std::size_t to) {
  if (!decoder_.Feed(reply_ + from, to - from, Der(), to - bodyStart_)) {
    phase_ = Phase::kFailed;
    return false;
  }
  decodedUpTo_ = to;
  return true;
}

// Reads the EncryptedData header from the decoded prefix and, when the body
// has the plain DER form and the session's keys fit its cipher, starts
// decrypting. Anything else waits for the whole body.
void ReplyDecryptor::StartDecryption() {
  decryptionTried_ = true;
  // The header is read as if the whole body were there; only its first octets
  // are, and the whole body is read again at the end before anything counts.
  const std::size_t declared = DeclaredDerLength(Der(), decoder_.Written());
  EncryptedDataParts parts;
  if (declared == 0 || declared > capacity_ - bodyStart_ ||
      !ReadEncryptedDataParts(Der(), declared, &parts) || !parts.hasContent ||
      parts.contentOffset + parts.contentLength > declared)
    return;
  // A cipher that is not there is the end-of-reply path's to report.
  ERR_set_mark();
  UniquePtr<EVP_CIPHER> cipher = FetchCipher(parts.algorithm.get());
  ERR_pop_to_mark();
  CryptoErrorRecord ignored{};
  const SessionSecret secret{keys_.sessionKey, sizeof keys_.sessionKey, keys_.initVector,
                             sizeof keys_.initVector};
  if (cipher == nullptr || !CoversCipher(cipher.get(), secret, &ignored)) return;
  UniquePtr<EVP_CIPHER_CTX> context(EVP_CIPHER_CTX_new());
  if (context == nullptr ||
      EVP_DecryptInit_ex2(context.get(), cipher.get(), secret.key, secret.iv, nullptr) != 1)
    return;
  // Padding is checked by hand at the end, so blocks decrypt in place as they come.
  EVP_CIPHER_CTX_set_padding(context.get(), 0);
  blockSize_ = static_cast<std::size_t>(EVP_CIPHER_CTX_get_block_size(context.get()));
  if (blockSize_ == 0 || blockSize_ > EVP_MAX_BLOCK_LENGTH || parts.contentLength % blockSize_ != 0)
    return;
  contentOffset_ = parts.contentOffset;
  contentLength_ = parts.contentLength;
  cipher_ = std::move(context);
}

// Decrypts the whole blocks that have arrived, holding back the last block of
// the content until the end.
void ReplyDecryptor::DecryptArrived() {
  std::size_t decoded = decoder_.Written();
  if (decoded <= contentOffset_) return;
  if (contentLength_ < blockSize_) return;
  std::size_t available = std::min(decoded - contentOffset_, contentLength_);
  std::size_t ready = std::min(available / blockSize_ * blockSize_, contentLength_ - blockSize_);
  if (ready <= decrypted_) return;
  unsigned char* at = Der() + contentOffset_ + decrypted_;
  int written = 0;
  if (EVP_DecryptUpdate(cipher_.get(), at, &written, at, static_cast<int>(ready - decrypted_)) != 1 ||
      static_cast<std::size_t>(written) != ready - decrypted_) {
    phase_ = Phase::kFailed;  // whole blocks without padding cannot fail; if they do, nothing counts
    return;
  }
  decrypted_ = ready;
}

ReplyDecryptor::Outcome ReplyDecryptor::Finish(std::size_t length, unsigned char** plaintext,
                                               std::size_t* plaintextLength) {
  Advance(length);
  switch (phase_) {
    case Phase::kSeekElement:
    case Phase::kSeekBegin:
    case Phase::kOff:
      return Outcome::kNotStarted;
    case Phase::kDecode:  // the reply ended inside the body: no END marker
    case Phase::kFailed:
      return Outcome::kFailed;
    case Phase::kBodyEnded:
      break;
  }
  // The element must be closed after the END marker, or there is no ENC_DATA.
  std::size_t end = decodedUpTo_;
  if (std::string_view(reply_ + end, length - end).find(kCloseTag) == std::string_view::npos)
    return Outcome::kFailed;

  const std::size_t derLength = decoder_.Written();
  if (cipher_ != nullptr) {
    // The header was read before the body was whole. Read again now, it can
    // only differ when the body ends before the length that header announced,
    // and such a body cannot be read by any path.
    EncryptedDataParts parts;
    const bool same = ReadEncryptedDataParts(Der(), derLength, &parts) && parts.hasContent &&
                      parts.contentOffset == contentOffset_ && parts.contentLength == contentLength_;
    if (!same || !FinishDecryption(plaintext, plaintextLength)) return Outcome::kFailed;
    return Outcome::kDecrypted;
  }

  CryptoErrorRecord error{};
  std::ptrdiff_t count = DecryptEncryptedDataInPlace(reinterpret_cast<char*>(Der()), derLength, kArmourDer,
                                                     keys_.sessionKey, sizeof keys_.sessionKey,
                                                     keys_.initVector, sizeof keys_.initVector,
                                                     plaintext, &error);
  if (count < 0) return Outcome::kFailed;
  *plaintextLength = static_cast<std::size_t>(count);
  return Outcome::kDecrypted;
}

// The last block, and its padding checked as the library would: a final block
// whose padding does not check out is left out, and the rest still counts.
bool ReplyDecryptor::FinishDecryption(unsigned char** plaintext, std::size_t* plaintextLength) {
  unsigned char* content = Der() + contentOffset_;
  if (contentLength_ > decrypted_) {
    int written = 0;
    int remaining = static_cast<int>(contentLength_ - decrypted_);
    if (EVP_DecryptUpdate(cipher_.get(), content + decrypted_, &written, content + decrypted_,
                          remaining) != 1 ||
        written != remaining)
      return false;
    decrypted_ = contentLength_;
  }
  std::size_t length = contentLength_;
  if (length >= blockSize_ && blockSize_ > 1) {
    unsigned pad = content[length - 1];
    bool valid = pad >= 1 && pad <= blockSize_;
    for (unsigned i = 0; valid && i < pad; ++i) valid = content[length - 1 - i] == pad;
    length -= valid ? pad : blockSize_;
  }
  *plaintext = content;
  *plaintextLength = length;
  return true;
}

}  // namespace dovrel
