#include "pkcs7/cipher_choice.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>

#include <cstdio>

#include "pkcs7/failure_sites.h"

namespace dovrel {

UniquePtr<EVP_CIPHER> FetchCipher(const X509_ALGOR* algorithm) {
  const ASN1_OBJECT* object = nullptr;
  X509_ALGOR_get0(&object, nullptr, nullptr, algorithm);
  int nid = OBJ_obj2nid(object);
  const char* name = nid == NID_undef ? nullptr : OBJ_nid2sn(nid);
  if (name == nullptr) {
    char oid[128];
    OBJ_obj2txt(oid, sizeof oid, object, 1);
    ERR_raise_data(ERR_LIB_EVP, EVP_R_UNSUPPORTED_CIPHER, "algorithm %s", oid);
    return nullptr;
  }
  return UniquePtr<EVP_CIPHER>(EVP_CIPHER_fetch(nullptr, name, nullptr));
}

bool CoversCipher(const EVP_CIPHER* cipher, const SessionSecret& secret, CryptoErrorRecord* error) {
  int keyNeeded = EVP_CIPHER_get_key_length(cipher);
  int ivNeeded = EVP_CIPHER_get_iv_length(cipher);
  bool keyOk = secret.key != nullptr && static_cast<std::size_t>(keyNeeded) <= secret.keyLength;
  bool ivOk = ivNeeded <= 0 ||
              (secret.iv != nullptr && static_cast<std::size_t>(ivNeeded) <= secret.ivLength);
  if (keyOk && ivOk) return true;
  char message[kCryptoTextSize];
  std::snprintf(message, sizeof message,
                "%s needs a %d-byte key and a %d-byte initial vector; %lu and %lu given",
                EVP_CIPHER_get0_name(cipher), keyNeeded, ivNeeded,
                static_cast<unsigned long>(secret.key != nullptr ? secret.keyLength : 0),
                static_cast<unsigned long>(secret.iv != nullptr ? secret.ivLength : 0));
  SetCryptoFailure(error, message, PlaceStyle::kPaddedLine, kCryptoTag,
                   kSiteDecryptCipherNeedsMore);
  return false;
}

}  // namespace dovrel
