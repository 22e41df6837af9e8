#pragma once
// Keys, certificates and PKCS#7 bodies made with the OpenSSL API, for tests
// that must also run where no openssl command-line tool exists (Wine).

#include <string>
#include <vector>

#include "pkcs7/crypto_ptr.h"

namespace dovrel::test {

struct TestIdentity {
  UniquePtr<EVP_PKEY> key;
  UniquePtr<X509> certificate;  // self-signed, valid from now for a day
};

enum class KeyKind {
  kRsa2048,  // can receive an envelope
  kEcP256,   // small: several fit into one signed-data Parameter text
};

TestIdentity MakeIdentity(KeyKind kind, const char* commonName);

// One RSA identity per process: key generation is slow.
const TestIdentity& SharedRsaIdentity();

std::string CertificatePem(const X509* certificate);
std::string PrivateKeyPem(const EVP_PKEY* key);

// DER bytes between "-----BEGIN label-----" and "-----END label-----" lines.
std::string PemArmour(const char* label, const std::string& der);

struct SignedDataOptions {
  std::vector<const X509*> certificates;  // in this order; the server's goes last
  const TestIdentity* signer = nullptr;   // none: no signer information
  std::string content = "signed content";
  bool tamperContent = false;  // change the content after signing
  bool unknownDigest = false;  // list a digest algorithm nobody knows
};

// A SignedData body (not its ContentInfo), DER.
std::string SignedDataDer(const SignedDataOptions& options);

// DER building blocks for hand-made bodies, BER forms included.
std::string Der(unsigned char tag, const std::string& content);
std::string ObjectIdentifierDer(const char* dotted);

// The body inside a ContentInfo: the content of its [0] EXPLICIT element.
std::string ContentInfoBody(const std::string& contentInfoDer);
std::string WrapInContentInfo(const char* typeOid, const std::string& body);

// Encrypts with a cipher from the loaded providers; padding off lets a test
// supply its own last block.
std::string EncryptWith(const char* cipherName, const std::string& key, const std::string& iv,
                        const std::string& plaintext, bool padding = true);

// Parts of a DER element: tag octet, and the content of the element at
// `offset` (definite lengths only). Used to look inside bodies.
struct DerElement {
  unsigned char tag = 0;
  std::size_t contentOffset = 0;
  std::size_t contentLength = 0;
  std::size_t next = 0;
};
bool ReadDerElement(const std::string& der, std::size_t offset, DerElement* element);

}  // namespace dovrel::test
