// Decryption of the EncryptedData bodies that carry the received files. The
// whole-text entry point runs the same streaming readers that a GET reply
// goes through while it arrives, so the rules (markers, skipped characters,
// cipher look-up, key and initial-vector lengths, the padding quirk) are
// written once.

#include <cstring>
#include <memory>

#include "pkcs7/cipher_choice.h"
#include "pkcs7/crypto_init.h"
#include "pkcs7/encrypted_data_stream.h"
#include "pkcs7/failure_sites.h"
#include "pkcs7/pem_stream.h"
#include "pkcs7/pkcs7.h"

namespace dovrel {
namespace {

// The caller's output. The content is limited to its capacity, and the
// plaintext is never longer than the content, so it always fits.
class BufferSink : public PlaintextSink {
 public:
  BufferSink(unsigned char* out, std::size_t capacity) : out_(out), capacity_(capacity) {}
  bool Take(const unsigned char* bytes, std::size_t length) override {
    if (length > capacity_ - count_) return false;
    std::memcpy(out_ + count_, bytes, length);
    count_ += length;
    return true;
  }
  std::size_t Count() const { return count_; }

 private:
  unsigned char* out_;
  std::size_t capacity_;
  std::size_t count_ = 0;
};

}  // namespace

std::ptrdiff_t DecryptEncryptedData(const char* data, std::size_t length, int armour,
                                    const unsigned char* key, std::size_t keyLength,
                                    const unsigned char* iv, std::size_t ivLength,
                                    unsigned char* output, std::size_t capacity,
                                    CryptoErrorRecord* error) {
  EnsureCryptoProviders();
  if (armour != kArmourPem && armour != kArmourDer) {
    SetUnsupportedArmour(error, armour, PlaceStyle::kPadded, kSiteDecryptUnsupportedArmour);
    return -1;
  }
  if (output == nullptr) {
    SetCryptoFailure(error, "No output buffer", PlaceStyle::kPaddedLine, kCryptoTag,
                     kSiteDecryptOutputTooSmall);
    return -1;
  }
  if (data == nullptr) length = 0;
  const SessionSecret secret{key, keyLength, iv, ivLength};
  BufferSink sink(output, capacity);
  bool decrypted = false;
  if (armour == kArmourDer) {
    auto body = std::make_unique<EncryptedDataStream>(secret, sink, error,
                                                      kSiteDecryptDerUnreadable, capacity);
    body->Feed(reinterpret_cast<const unsigned char*>(data), length);
    decrypted = body->Finish();
  } else {
    auto body = std::make_unique<EncryptedDataStream>(secret, sink, error,
                                                      kSiteDecryptPemUnreadable, capacity);
    PemBodyStream pem(*body, error);
    pem.Feed(data, length);
    decrypted = pem.Finish();
  }
  return decrypted ? static_cast<std::ptrdiff_t>(sink.Count()) : -1;
}

}  // namespace dovrel
