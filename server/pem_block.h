#pragma once
// The protocol carries bare PKCS#7 bodies (SignedData, EnvelopedData) as PEM
// blocks under their own labels; these read and write such blocks. On a
// failure libcrypto's error queue says why.

#include <optional>
#include <string>
#include <string_view>

#include <openssl/bio.h>
#include <openssl/crypto.h>

namespace dovrel::server {

// All that a memory BIO holds.
std::string MemoryText(BIO* bio);

// The DER bytes of the first PEM block labelled `label` in `pem`; nothing
// when there is no such block.
std::optional<std::string> ReadPemBlock(std::string_view pem, const char* label);

// der[0, length) as a PEM block labelled `label`; empty when it cannot be written.
std::string PemBlockText(const char* label, const unsigned char* der, int length);

// `body` in DER, by one of libcrypto's i2d functions, as a PEM block labelled
// `label`; empty when it cannot be written.
template <typename Body>
std::string WritePemBlock(const char* label, const Body* body,
                          int (*toDer)(const Body*, unsigned char**)) {
  unsigned char* der = nullptr;
  const int length = toDer(body, &der);
  std::string pem = length > 0 ? PemBlockText(label, der, length) : std::string();
  OPENSSL_free(der);
  return pem;
}

}  // namespace dovrel::server
