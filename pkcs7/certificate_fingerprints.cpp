#include "pkcs7/certificate_fingerprints.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <climits>
#include <cstring>
#include <memory>

#include "pkcs7/crypto_ptr.h"

namespace dovrel {
namespace {

bool Sha256(const unsigned char* data, std::size_t length, Fingerprint* digest) {
  unsigned int size = 0;
  return EVP_Digest(data, length, digest->data(), &size, EVP_sha256(), nullptr) == 1 &&
         size == digest->size();
}

struct OpenSslFree {
  void operator()(unsigned char* bytes) const { OPENSSL_free(bytes); }
};

bool DigestPublicKey(X509* certificate, Fingerprint* digest) {
  unsigned char* bytes = nullptr;
  const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &bytes);
  std::unique_ptr<unsigned char, OpenSslFree> der(bytes);
  return length > 0 && Sha256(der.get(), static_cast<std::size_t>(length), digest);
}

}  // namespace

bool FingerprintCertificate(X509* certificate, CertificateFingerprints* fingerprints) {
  unsigned int size = 0;
  return certificate != nullptr &&
         X509_digest(certificate, EVP_sha256(), fingerprints->certificate.data(), &size) == 1 &&
         size == fingerprints->certificate.size() &&
         DigestPublicKey(certificate, &fingerprints->publicKey);
}

bool FingerprintCertificateDer(const unsigned char* der, std::size_t length,
                               CertificateFingerprints* fingerprints) {
  if (der == nullptr || length == 0 || length > static_cast<std::size_t>(LONG_MAX)) return false;
  const unsigned char* at = der;
  UniquePtr<X509> certificate(d2i_X509(nullptr, &at, static_cast<long>(length)));
  // Trailing bytes would make the fingerprint speak for something else.
  return at == der + length && FingerprintCertificate(certificate.get(), fingerprints);
}

bool FingerprintCertificatePem(const char* pem, CertificateFingerprints* fingerprints) {
  const std::size_t length = pem != nullptr ? std::strlen(pem) : 0;
  if (length == 0 || length > static_cast<std::size_t>(INT_MAX)) return false;
  UniquePtr<BIO> text(BIO_new_mem_buf(pem, static_cast<int>(length)));
  if (text == nullptr) return false;
  UniquePtr<X509> certificate(PEM_read_bio_X509(text.get(), nullptr, nullptr, nullptr));
  return FingerprintCertificate(certificate.get(), fingerprints);
}

}  // namespace dovrel
