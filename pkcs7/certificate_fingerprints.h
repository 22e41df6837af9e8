#pragma once
// The two SHA-256 fingerprints by which a server's certificate can be pinned.

#include <openssl/x509.h>

#include <cstddef>

#include "pkcs7/fingerprint.h"

namespace dovrel {

struct CertificateFingerprints {
  Fingerprint certificate;  // of the certificate's DER
  Fingerprint publicKey;    // of its SubjectPublicKeyInfo DER
};

bool FingerprintCertificate(X509* certificate, CertificateFingerprints* fingerprints);

// The same for a DER certificate (as TLS carries it); false when it cannot be read.
bool FingerprintCertificateDer(const unsigned char* der, std::size_t length,
                               CertificateFingerprints* fingerprints);

// The same for a PEM certificate; false when it cannot be read.
bool FingerprintCertificatePem(const char* pem, CertificateFingerprints* fingerprints);

}  // namespace dovrel
