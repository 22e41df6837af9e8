#include "server/key_envelope.h"

#include <cstdint>
#include <optional>
#include <string>

#include <openssl/pkcs7.h>

#include "net/codecs.h"
#include "net/message.h"
#include "server/crypto_errors.h"
#include "server/pem_block.h"

namespace dovrel::server {
namespace {

// The Key text is 71 characters; anything far longer is not one.
constexpr int kKeyTextLimit = 1024;

bool DecodeHex(std::string_view digits, unsigned char* out, std::size_t length) {
  if (digits.size() != length * 2) return false;
  for (std::size_t i = 0; i < length; ++i) {
    const int high = HexDigitValue(digits[2 * i]);
    const int low = HexDigitValue(digits[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    out[i] = static_cast<unsigned char>(high * 16 + low);
  }
  return true;
}

}  // namespace

bool ParseKeyText(std::string_view text, SessionKeys* keys) {
  std::optional<std::string_view> key = FindParameterText(text, "sessionkey");
  std::optional<std::string_view> iv = FindParameterText(text, "initvector");
  SessionKeys parsed;
  if (!key || !iv || !DecodeHex(*key, parsed.key.data(), parsed.key.size()) ||
      !DecodeHex(*iv, parsed.iv.data(), parsed.iv.size())) {
    return false;
  }
  *keys = parsed;
  return true;
}

bool OpenKeyEnvelope(std::string_view pem, const ServerCredentials& credentials, SessionKeys* keys,
                     std::string* error) {
  if (pem.size() > static_cast<std::size_t>(INT32_MAX)) {
    *error = "envelope too large";
    return false;
  }
  const std::optional<std::string> der = ReadPemBlock(pem, kEnvelopedDataLabel);
  if (!der) {
    *error = "ENVELOP_DATA is not a PEM \"PKCS7 ENVELOPED DATA\" text: " + TakeCryptoErrors();
    return false;
  }

  const unsigned char* cursor = reinterpret_cast<const unsigned char*>(der->data());
  UniquePtr<PKCS7_ENVELOPE> body(
      d2i_PKCS7_ENVELOPE(nullptr, &cursor, static_cast<long>(der->size())));
  if (!body) {
    *error = "ENVELOP_DATA does not hold an EnvelopedData: " + TakeCryptoErrors();
    return false;
  }
  // The library opens envelopes inside a ContentInfo: give the body one.
  UniquePtr<PKCS7> envelope(PKCS7_new());
  if (!envelope || PKCS7_set_type(envelope.get(), NID_pkcs7_enveloped) != 1) {
    *error = "cannot make a PKCS#7 object: " + TakeCryptoErrors();
    return false;
  }
  PKCS7_ENVELOPE_free(envelope->d.enveloped);
  envelope->d.enveloped = body.release();

  UniquePtr<BIO> plain(BIO_new(BIO_s_mem()));
  if (!plain || PKCS7_decrypt(envelope.get(), credentials.key.get(), credentials.certificate.get(),
                              plain.get(), 0) != 1) {
    *error = "cannot open the envelope with the server's key: " + TakeCryptoErrors();
    return false;
  }
  char text[kKeyTextLimit];
  const int length = BIO_read(plain.get(), text, sizeof text);
  if (length <= 0 || BIO_pending(plain.get()) > 0 ||
      !ParseKeyText(std::string_view(text, static_cast<std::size_t>(length)), keys)) {
    *error = "the envelope does not hold a Key text (sessionkey=...&initvector=...)";
    return false;
  }
  return true;
}

}  // namespace dovrel::server
