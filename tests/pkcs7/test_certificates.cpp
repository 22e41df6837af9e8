#include "tests/pkcs7/test_certificates.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "pkcs7/crypto_init.h"

namespace dovrel::test {
namespace {

// Setup failures in test data are fatal: a test on broken data proves nothing.
void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "test data setup failed: %s\n", what);
    std::abort();
  }
}

std::string BioText(BIO* bio) {
  char* data = nullptr;
  long length = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<std::size_t>(length));
}

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

TestIdentity MakeIdentity(KeyKind kind, const char* commonName) {
  static std::atomic<long> serial{1};
  TestIdentity identity;
  identity.key.reset(kind == KeyKind::kRsa2048 ? EVP_RSA_gen(2048) : EVP_EC_gen("P-256"));
  Require(identity.key != nullptr, "key generation");
  identity.certificate.reset(X509_new());
  X509* certificate = identity.certificate.get();
  Require(certificate != nullptr && X509_set_version(certificate, X509_VERSION_3) == 1 &&
              ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial++) == 1 &&
              X509_gmtime_adj(X509_getm_notBefore(certificate), 0) != nullptr &&
              X509_gmtime_adj(X509_getm_notAfter(certificate), 86400) != nullptr &&
              X509_set_pubkey(certificate, identity.key.get()) == 1,
          "certificate fields");
  X509_NAME* name = X509_get_subject_name(certificate);
  Require(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>(commonName), -1, -1,
                                     0) == 1 &&
              X509_set_issuer_name(certificate, name) == 1 &&
              X509_sign(certificate, identity.key.get(), EVP_sha256()) > 0,
          "certificate signature");
  return identity;
}

const TestIdentity& SharedRsaIdentity() {
  static const TestIdentity identity = MakeIdentity(KeyKind::kRsa2048, "dovrel file server");
  return identity;
}

std::string CertificatePem(const X509* certificate) {
  UniquePtr<BIO> bio(BIO_new(BIO_s_mem()));
  Require(bio != nullptr && PEM_write_bio_X509(bio.get(), certificate) == 1, "certificate PEM");
  return BioText(bio.get());
}

std::string PrivateKeyPem(const EVP_PKEY* key) {
  UniquePtr<BIO> bio(BIO_new(BIO_s_mem()));
  Require(bio != nullptr &&
              PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1,
          "private key PEM");
  return BioText(bio.get());
}

std::string PemArmour(const char* label, const std::string& der) {
  UniquePtr<BIO> bio(BIO_new(BIO_s_mem()));
  Require(bio != nullptr &&
              PEM_write_bio(bio.get(), label, "", Bytes(der), static_cast<long>(der.size())) > 0,
          "PEM armour");
  return BioText(bio.get());
}

std::string SignedDataDer(const SignedDataOptions& options) {
  EnsureCryptoProviders();
  UniquePtr<PKCS7> p7(PKCS7_new());
  Require(p7 != nullptr && PKCS7_set_type(p7.get(), NID_pkcs7_signed) == 1 &&
              PKCS7_content_new(p7.get(), NID_pkcs7_data) == 1,
          "signed data");
  for (const X509* certificate : options.certificates) {
    Require(PKCS7_add_certificate(p7.get(), const_cast<X509*>(certificate)) == 1, "certificate");
  }
  if (options.signer != nullptr) {
    Require(PKCS7_add_signature(p7.get(), options.signer->certificate.get(),
                                options.signer->key.get(), EVP_sha256()) != nullptr,
            "signer");
    UniquePtr<BIO> content(PKCS7_dataInit(p7.get(), nullptr));
    Require(content != nullptr &&
                BIO_write(content.get(), options.content.data(),
                          static_cast<int>(options.content.size())) ==
                    static_cast<int>(options.content.size()) &&
                BIO_flush(content.get()) == 1 && PKCS7_dataFinal(p7.get(), content.get()) == 1,
            "signature");
  } else {
    Require(ASN1_OCTET_STRING_set(p7->d.sign->contents->d.data, Bytes(options.content),
                                  static_cast<int>(options.content.size())) == 1,
            "content");
  }
  if (options.tamperContent) {
    ASN1_OCTET_STRING* content = p7->d.sign->contents->d.data;
    std::string changed(reinterpret_cast<const char*>(ASN1_STRING_get0_data(content)),
                        static_cast<std::size_t>(ASN1_STRING_length(content)));
    Require(!changed.empty(), "content to tamper with");
    changed[0] ^= 0x20;
    Require(ASN1_OCTET_STRING_set(content, Bytes(changed), static_cast<int>(changed.size())) == 1,
            "tampered content");
  }
  if (options.unknownDigest) {
    UniquePtr<X509_ALGOR> algorithm(X509_ALGOR_new());
    Require(algorithm != nullptr &&
                X509_ALGOR_set0(algorithm.get(), OBJ_txt2obj("1.3.6.1.4.1.99999.1", 1), V_ASN1_NULL,
                                nullptr) == 1 &&
                sk_X509_ALGOR_push(p7->d.sign->md_algs, algorithm.get()) > 0,
            "unknown digest");
    (void)algorithm.release();  // the stack owns it now
  }
  unsigned char* der = nullptr;
  int length = i2d_PKCS7_SIGNED(p7->d.sign, &der);
  Require(length > 0, "signed data DER");
  std::string bytes(reinterpret_cast<char*>(der), static_cast<std::size_t>(length));
  OPENSSL_free(der);
  return bytes;
}

std::string Der(unsigned char tag, const std::string& content) {
  std::string out(1, static_cast<char>(tag));
  std::size_t length = content.size();
  if (length < 0x80) {
    out += static_cast<char>(length);
  } else {
    std::string digits;
    for (; length > 0; length >>= 8)
      digits.insert(digits.begin(), static_cast<char>(length & 0xFF));
    out += static_cast<char>(0x80 | digits.size());
    out += digits;
  }
  return out + content;
}

std::string ObjectIdentifierDer(const char* dotted) {
  UniquePtr<ASN1_OBJECT> object(OBJ_txt2obj(dotted, 1));
  Require(object != nullptr, "object identifier");
  unsigned char* der = nullptr;
  int length = i2d_ASN1_OBJECT(object.get(), &der);
  Require(length > 0, "object identifier DER");
  std::string bytes(reinterpret_cast<char*>(der), static_cast<std::size_t>(length));
  OPENSSL_free(der);
  return bytes;
}

bool ReadDerElement(const std::string& der, std::size_t offset, DerElement* element) {
  if (offset + 2 > der.size()) return false;
  element->tag = static_cast<unsigned char>(der[offset]);
  std::size_t p = offset + 1;
  std::size_t length = static_cast<unsigned char>(der[p++]);
  if (length & 0x80) {
    std::size_t digits = length & 0x7F;
    if (digits == 0 || digits > sizeof(std::size_t) || p + digits > der.size()) return false;
    length = 0;
    for (std::size_t i = 0; i < digits; ++i)
      length = (length << 8) | static_cast<unsigned char>(der[p++]);
  }
  if (length > der.size() - p) return false;
  element->contentOffset = p;
  element->contentLength = length;
  element->next = p + length;
  return true;
}

std::string ContentInfoBody(const std::string& contentInfoDer) {
  DerElement info, type, explicitBody;
  Require(ReadDerElement(contentInfoDer, 0, &info) && info.tag == 0x30 &&
              ReadDerElement(contentInfoDer, info.contentOffset, &type) && type.tag == 0x06 &&
              ReadDerElement(contentInfoDer, type.next, &explicitBody) && explicitBody.tag == 0xA0,
          "ContentInfo");
  return contentInfoDer.substr(explicitBody.contentOffset, explicitBody.contentLength);
}

std::string WrapInContentInfo(const char* typeOid, const std::string& body) {
  return Der(0x30, ObjectIdentifierDer(typeOid) + Der(0xA0, body));
}

std::string EncryptWith(const char* cipherName, const std::string& key, const std::string& iv,
                        const std::string& plaintext, bool padding) {
  EnsureCryptoProviders();
  UniquePtr<EVP_CIPHER> cipher(EVP_CIPHER_fetch(nullptr, cipherName, nullptr));
  UniquePtr<EVP_CIPHER_CTX> context(EVP_CIPHER_CTX_new());
  Require(cipher != nullptr && context != nullptr &&
              EVP_EncryptInit_ex2(context.get(), cipher.get(), Bytes(key),
                                  iv.empty() ? nullptr : Bytes(iv), nullptr) == 1 &&
              EVP_CIPHER_CTX_set_padding(context.get(), padding ? 1 : 0) == 1,
          cipherName);
  std::string out(plaintext.size() + EVP_MAX_BLOCK_LENGTH, '\0');
  auto* bytes = reinterpret_cast<unsigned char*>(out.data());
  int written = 0;
  int last = 0;
  Require(EVP_EncryptUpdate(context.get(), bytes, &written, Bytes(plaintext),
                            static_cast<int>(plaintext.size())) == 1 &&
              EVP_EncryptFinal_ex(context.get(), bytes + written, &last) == 1,
          "encryption");
  out.resize(static_cast<std::size_t>(written) + static_cast<std::size_t>(last));
  return out;
}

}  // namespace dovrel::test
