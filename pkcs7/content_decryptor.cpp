#include "pkcs7/content_decryptor.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>

#include "pkcs7/failure_sites.h"

namespace dovrel {
namespace {

constexpr std::size_t kSlice = 16384;

}  // namespace

ContentDecryptor::ContentDecryptor(const SessionSecret& secret, PlaintextSink& sink,
                                   CryptoErrorRecord* error, std::uint64_t contentLimit)
    : secret_(secret), sink_(sink), error_(error), contentLimit_(contentLimit) {}

// The sender's initial vector in the algorithm identifier is not used: the
// session's own is. The library strips the padding at the end.
bool ContentDecryptor::Start(const EVP_CIPHER* cipher) {
  if (!CoversCipher(cipher, secret_, error_)) return false;
  context_.reset(EVP_CIPHER_CTX_new());
  if (context_ == nullptr ||
      EVP_DecryptInit_ex2(context_.get(), cipher, secret_.key, secret_.iv, nullptr) != 1) {
    return Fail(kSiteDecryptCipherFailed);
  }
  return true;
}

bool ContentDecryptor::Update(const unsigned char* bytes, std::size_t length) {
  if (length > contentLimit_ - std::min(contentSeen_, contentLimit_)) {
    return Fail(kSiteDecryptOutputTooSmall);
  }
  contentSeen_ += length;
  for (std::size_t done = 0; done < length;) {
    const int slice = static_cast<int>(std::min(kSlice, length - done));
    int written = 0;
    if (EVP_DecryptUpdate(context_.get(), plain_, &written, bytes + done, slice) != 1) {
      return Fail(kSiteDecryptCipherFailed);
    }
    if (written > 0 && !sink_.Take(plain_, static_cast<std::size_t>(written))) {
      return Fail(kSiteDecryptOutputTooSmall);
    }
    done += static_cast<std::size_t>(slice);
  }
  return true;
}

// A final block whose padding does not check out writes nothing, and the
// plaintext before it still counts. Those entries are dropped so no later
// record shows them.
bool ContentDecryptor::Finish() {
  ERR_set_mark();
  int last = 0;
  if (EVP_DecryptFinal_ex(context_.get(), plain_, &last) != 1) last = 0;
  ERR_pop_to_mark();
  if (last > 0 && !sink_.Take(plain_, static_cast<std::size_t>(last))) {
    return Fail(kSiteDecryptOutputTooSmall);
  }
  return true;
}

bool ContentDecryptor::Fail(int site) {
  if (error_ == nullptr) return false;
  if (site == kSiteDecryptOutputTooSmall) {
    char message[kCryptoTextSize];
    std::snprintf(message, sizeof message,
                  "Encrypted content beyond the %llu bytes the output takes",
                  static_cast<unsigned long long>(contentLimit_));
    SetCryptoFailure(error_, message, PlaceStyle::kPaddedLine, kCryptoTag, site);
  } else {
    FormatCryptoError(error_, kCryptoTag, site);
  }
  return false;
}

}  // namespace dovrel
