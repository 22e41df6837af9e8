#pragma once
// Which cipher a received EncryptedData names, and whether the session's key
// and initial vector are enough for it. Shared by every decryption path.

#include <openssl/x509.h>

#include <cstddef>

#include "pkcs7/crypto_error.h"
#include "pkcs7/crypto_ptr.h"

namespace dovrel {

struct SessionSecret {
  const unsigned char* key;
  std::size_t keyLength;
  const unsigned char* iv;
  std::size_t ivLength;
};

// The cipher that the algorithm identifier names, from the loaded providers;
// null (with an entry on the error queue) when there is none.
UniquePtr<EVP_CIPHER> FetchCipher(const X509_ALGOR* algorithm);

// The session holds a 16-byte key and an 8-byte initial vector; a cipher that
// would read more than the caller gives is refused rather than fed past them.
bool CoversCipher(const EVP_CIPHER* cipher, const SessionSecret& secret, CryptoErrorRecord* error);

}  // namespace dovrel
