#pragma once
// Owners for the libcrypto objects the server uses: UniquePtr<PKCS7> and so on.
// Kept in dovrel::server so that they never clash with the client's own set.

#include <memory>
#include <string>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

namespace dovrel::server {

template <typename T>
struct CryptoDeleter;

#define DOVREL_SERVER_CRYPTO_DELETER(Type, Free) \
  template <>                                    \
  struct CryptoDeleter<Type> {                   \
    void operator()(Type* p) const { Free(p); }  \
  }

DOVREL_SERVER_CRYPTO_DELETER(BIO, BIO_free_all);
DOVREL_SERVER_CRYPTO_DELETER(BIGNUM, BN_free);
DOVREL_SERVER_CRYPTO_DELETER(EVP_CIPHER, EVP_CIPHER_free);
DOVREL_SERVER_CRYPTO_DELETER(EVP_CIPHER_CTX, EVP_CIPHER_CTX_free);
DOVREL_SERVER_CRYPTO_DELETER(EVP_PKEY, EVP_PKEY_free);
DOVREL_SERVER_CRYPTO_DELETER(PKCS7, PKCS7_free);
DOVREL_SERVER_CRYPTO_DELETER(PKCS7_ENVELOPE, PKCS7_ENVELOPE_free);
DOVREL_SERVER_CRYPTO_DELETER(X509, X509_free);

#undef DOVREL_SERVER_CRYPTO_DELETER

template <typename T>
using UniquePtr = std::unique_ptr<T, CryptoDeleter<T>>;

// Loads the legacy provider (CAST5 lives there) next to the default one.
// Safe to call from any thread, any number of times.
bool EnsureCryptoProviders();

// The pending libcrypto error entries as one line, emptying the queue.
std::string TakeCryptoErrors();

}  // namespace dovrel::server
