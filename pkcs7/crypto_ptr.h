#pragma once
// Owners for libcrypto objects: UniquePtr<PKCS7>, UniquePtr<BIO>, ... each with
// the library's own free function, so every object is released on every path.

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <memory>

namespace dovrel {

template <typename T>
struct Deleter;

// NOLINTBEGIN(bugprone-macro-parentheses): Type is a type name, not an expression
#define DOVREL_CRYPTO_DELETER(Type, release)                 \
  template <>                                                \
  struct Deleter<Type> {                                     \
    void operator()(Type* object) const { release(object); } \
  }
// NOLINTEND(bugprone-macro-parentheses)

DOVREL_CRYPTO_DELETER(PKCS7, PKCS7_free);
DOVREL_CRYPTO_DELETER(PKCS7_SIGNED, PKCS7_SIGNED_free);
DOVREL_CRYPTO_DELETER(PKCS7_ENCRYPT, PKCS7_ENCRYPT_free);
DOVREL_CRYPTO_DELETER(PKCS7_ENVELOPE, PKCS7_ENVELOPE_free);
DOVREL_CRYPTO_DELETER(BIO, BIO_free_all);  // a chain from PKCS7_dataInit goes whole
DOVREL_CRYPTO_DELETER(X509, X509_free);
DOVREL_CRYPTO_DELETER(X509_ALGOR, X509_ALGOR_free);
DOVREL_CRYPTO_DELETER(EVP_CIPHER, EVP_CIPHER_free);
DOVREL_CRYPTO_DELETER(EVP_CIPHER_CTX, EVP_CIPHER_CTX_free);
DOVREL_CRYPTO_DELETER(EVP_PKEY, EVP_PKEY_free);
DOVREL_CRYPTO_DELETER(ASN1_OBJECT, ASN1_OBJECT_free);
DOVREL_CRYPTO_DELETER(BIGNUM, BN_free);
// ASN1_INTEGER, ASN1_OCTET_STRING and the other string types are all this one type.
DOVREL_CRYPTO_DELETER(ASN1_STRING, ASN1_STRING_free);

#undef DOVREL_CRYPTO_DELETER

template <typename T>
using UniquePtr = std::unique_ptr<T, Deleter<T>>;

}  // namespace dovrel
