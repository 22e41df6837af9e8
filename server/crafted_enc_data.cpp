#include "server/crafted_enc_data.h"

#include <openssl/evp.h>

#include <cstring>
#include <vector>

#include "server/base64_lines.h"
#include "server/crypto_errors.h"
#include "server/encrypted_body.h"
#include "pkcs7/crypto_ptr.h"

namespace dovrel::server {
namespace {

constexpr char kCast5Oid[] = "\x06\x09\x2A\x86\x48\x86\xF6\x7D\x07\x42\x0A";
constexpr char kAes256Oid[] = "\x06\x09\x60\x86\x48\x01\x65\x03\x04\x01\x2A";
constexpr char kDes3Oid[] = "\x06\x08\x2A\x86\x48\x86\xF7\x0D\x03\x07";
constexpr char kUnknownOid[] = "\x06\x04\x2A\x03\x04\x05";

std::string_view Oid(const char* bytes) {
  return std::string_view(bytes, 2 + static_cast<unsigned char>(bytes[1]));
}

// CAST5-CBC under the session's key; without padding the caller gives whole blocks.
bool Encrypt(const std::string& plaintext, const SessionKeys& keys, bool pad, std::string* out,
             std::string* error) {
  UniquePtr<EVP_CIPHER> cast5(EVP_CIPHER_fetch(nullptr, "CAST5-CBC", nullptr));
  UniquePtr<EVP_CIPHER_CTX> context(EVP_CIPHER_CTX_new());
  std::vector<unsigned char> sealed(plaintext.size() + 2 * kCipherBlock);
  int first = 0, last = 0;
  if (!cast5 || !context ||
      EVP_EncryptInit_ex2(context.get(), cast5.get(), keys.key.data(), keys.iv.data(), nullptr) !=
          1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), pad ? 1 : 0) != 1 ||
      EVP_EncryptUpdate(context.get(), sealed.data(), &first,
                        reinterpret_cast<const unsigned char*>(plaintext.data()),
                        static_cast<int>(plaintext.size())) != 1 ||
      EVP_EncryptFinal_ex(context.get(), sealed.data() + first, &last) != 1) {
    *error = "cannot encrypt: " + TakeCryptoErrors();
    return false;
  }
  out->assign(reinterpret_cast<const char*>(sealed.data()),
              static_cast<std::size_t>(first) + static_cast<std::size_t>(last));
  return true;
}

std::string Lines(const std::string& der) {
  Base64LineEncoder encoder;
  std::string text(Base64LineEncoder::MaxOutput(der.size()) + Base64LineEncoder::MaxOutput(0),
                   '\0');
  std::size_t n =
      encoder.Encode(reinterpret_cast<const unsigned char*>(der.data()), der.size(), text.data());
  n += encoder.Finish(text.data() + n);
  text.resize(n);
  return text;
}

std::string Armoured(const std::string& der) {
  return kEncryptedDataBegin + Lines(der) + kEncryptedDataEnd;
}

std::string Body(std::string_view oid, const SessionKeys& keys, const std::string& sealed) {
  const std::string_view iv(reinterpret_cast<const char*>(keys.iv.data()), keys.iv.size());
  return EncryptedDataHeadFor(oid, iv, sealed.size()) + sealed;
}

}  // namespace

std::optional<std::string> CraftEncData(std::string_view shape, std::string_view argument,
                                        std::string plaintext, const SessionKeys& keys,
                                        std::string* error) {
  if (shape == "plain") plaintext = std::string(argument);
  bool pad = true;
  if (shape == "badpad") {
    // Whole blocks of plaintext, then one block whose last byte claims nine
    // bytes of padding: no block cipher pads that much.
    plaintext.append(kCipherBlock - plaintext.size() % kCipherBlock, '\x01');
    plaintext.append(kCipherBlock, '\x09');
    pad = false;
  }
  std::string sealed;
  if (!Encrypt(plaintext, keys, pad, &sealed, error)) return std::nullopt;
  const std::string der = Body(Oid(kCast5Oid), keys, sealed);

  if (shape == "plain" || shape == "badpad") return Armoured(der);
  if (shape == "nomarkers") return Lines(der);
  if (shape == "reversed") return kEncryptedDataEnd + Lines(der) + kEncryptedDataBegin;
  if (shape == "badbase64") return kEncryptedDataBegin + ("Q=" + Lines(der)) + kEncryptedDataEnd;
  if (shape == "garbage") return Armoured("\x30\x82\x7F\xFF" + std::string(48, '\x5A'));
  if (shape == "cipher") {
    if (argument == "aes256") return Armoured(Body(Oid(kAes256Oid), keys, sealed));
    if (argument == "des3") return Armoured(Body(Oid(kDes3Oid), keys, sealed));
    if (argument == "unknown") return Armoured(Body(Oid(kUnknownOid), keys, sealed));
    *error = "unknown cipher for encdata: " + std::string(argument);
    return std::nullopt;
  }
  *error = "unknown encdata shape: " + std::string(shape);
  return std::nullopt;
}

}  // namespace dovrel::server
