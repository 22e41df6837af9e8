#include "session/key_exchange.h"

#include <openssl/rand.h>

#include <cstring>
#include <vector>

#include "net/message.h"
#include "pkcs7/crypto_init.h"
#include "pkcs7/pkcs7.h"
#include "session/random_source.h"
#include "base/message_box.h"

namespace dovrel {
namespace {

constexpr std::size_t kDocumentSize = 5120;
constexpr std::size_t kSignedDataSize = 3072;
constexpr std::size_t kCertificateSize = 3072;
constexpr std::size_t kNameSize = 256;
constexpr std::size_t kKeyTextSize = 1024;
constexpr std::size_t kEnvelopeSize = 5120;

class Session {
 public:
  Session(const ReceiveParameters& parameters, SessionKeys* keys, KeyExchangeHost& host,
          const ExchangeTimeouts& timeouts, const ServerPins& pins)
      : parameters_(parameters), keys_(keys), host_(host), timeouts_(timeouts), pins_(pins) {}

  KeyExchangeResult Open() {
    host_.StartBusyPopup(kPreparingText);
    KeyExchangeResult result = Run();
    host_.StopBusyPopup();
    if (const char* text = MessageFor(result)) host_.ShowMessage(text, kCaptionNotice, kMbAlert);
    return result;
  }

 private:
  KeyExchangeResult Run() {
    char request[kDocumentSize];
    int length = BuildRequest({{"SERVICE_CODE", "INIT"}}, request, sizeof request);
    if (Exchange(request, length) < 0) return KeyExchangeResult::kNoConnection;

    std::memset(keys_->skey, 0, sizeof keys_->skey);
    std::vector<char> signedData(kSignedDataSize, '\0');
    // A value too long for its buffer is refused like a missing one.
    if (!FindElement(reply_.data(), "SKEY", keys_->skey, sizeof keys_->skey))
      return KeyExchangeResult::kNoSkey;
    if (!FindElement(reply_.data(), "SERVER_SIGNED_DATA", signedData.data(), signedData.size()))
      return KeyExchangeResult::kNoSignedData;

    // Keys from a generator that could not deliver would be guessable: stop here.
    if (!DrawSessionKeys(keys_)) return KeyExchangeResult::kCryptoFailed;
    SecretText<kKeyTextSize> keyText;
    FormatKeyText(keys_->sessionKey, keys_->initVector, keyText.text, sizeof keyText.text);

    CryptoErrorRecord error{};
    std::vector<char> name(kNameSize, '\0');
    std::vector<char> certificate(kCertificateSize, '\0');
    if (ReadServerCertificate(signedData.data(), std::strlen(signedData.data()), name.data(),
                              name.size(), certificate.data(), certificate.size(), &error) < 0)
      return KeyExchangeResult::kCryptoFailed;
    // A server the build or the administrator does not trust never gets the key.
    if (!pins_.Admits(certificate.data())) return KeyExchangeResult::kCryptoFailed;
    std::vector<char> envelope(kEnvelopeSize, '\0');
    std::ptrdiff_t sealed =
        SealEnvelope(certificate.data(), keyText.text, std::strlen(keyText.text), envelope.data(),
                     envelope.size(), kArmourPem, &error);
    if (sealed < 0) return KeyExchangeResult::kCryptoFailed;
    envelope[static_cast<std::size_t>(sealed)] = '\0';

    length = BuildRequest(
        {{"SERVICE_CODE", "KEYEXCHG"}, {"SKEY", keys_->skey}, {"ENVELOP_DATA", envelope.data()}},
        request, sizeof request);
    if (length < 0) return KeyExchangeResult::kCryptoFailed;  // the envelope cannot be sent
    if (Exchange(request, length) < 0) return KeyExchangeResult::kNoConnection;

    // Any RESULT_CODE, empty or an error code, opens the session.
    if (!FindElementText(reply_.data(), "RESULT_CODE")) return KeyExchangeResult::kNoResultCode;
    return KeyExchangeResult::kOpened;
  }

  int Exchange(const char* request, int length) {
    reply_.assign(kDocumentSize, '\0');
    return dovrel::Exchange(parameters_.serverAddress, parameters_.serverPort, request, length,
                            reply_.data(), reply_.size(), timeouts_);
  }

  static const char* MessageFor(KeyExchangeResult result) {
    switch (result) {
      case KeyExchangeResult::kNoConnection:
        return kNoConnectionText;
      case KeyExchangeResult::kNoSkey:
        return kNoSkeyText;
      case KeyExchangeResult::kNoSignedData:
        return kKeyExchangeNoSignedDataText;
      case KeyExchangeResult::kNoResultCode:
        return kKeyExchangeNoResultCodeText;
      case KeyExchangeResult::kOpened:
      case KeyExchangeResult::kCryptoFailed:
        return nullptr;
    }
    return nullptr;
  }

  const ReceiveParameters& parameters_;
  SessionKeys* keys_;
  KeyExchangeHost& host_;
  ExchangeTimeouts timeouts_;
  const ServerPins& pins_;
  std::vector<char> reply_;
};

}  // namespace

bool DrawSessionKeys(SessionKeys* keys) {
  EnsureCryptoProviders();
  return RAND_bytes(keys->sessionKey, sizeof keys->sessionKey) == 1 &&
         RAND_bytes(keys->initVector, sizeof keys->initVector) == 1;
}

KeyExchangeResult OpenSecureSession(const ReceiveParameters& parameters, SessionKeys* keys,
                                    KeyExchangeHost& host, const ExchangeTimeouts& timeouts,
                                    const ServerPins& pins) {
  return Session(parameters, keys, host, timeouts, pins).Open();
}

}  // namespace dovrel
