#pragma once
// The server's certificate and private key, and the SERVER_SIGNED_DATA value
// that carries the certificate to the client.

#include <memory>
#include <string>

#include "pkcs7/crypto_ptr.h"

namespace dovrel::server {

// The client keeps the SERVER_SIGNED_DATA value in 3072 bytes and each
// decoded value of its pairs in 2048: a value beyond either would not arrive whole.
inline constexpr std::size_t kSignedDataValueLimit = 3071;
inline constexpr std::size_t kDecodedPairValueLimit = 2047;

inline constexpr char kSignedDataLabel[] = "PKCS7 SIGNED DATA";  // the certList's PEM label
inline constexpr char kGeneratedSubject[] = "dovrel-fileserver";
inline constexpr char kStateCertificateFile[] = "server-cert.pem";
inline constexpr char kStateKeyFile[] = "server-key.pem";

struct ServerCredentials {
  UniquePtr<X509> certificate;
  UniquePtr<EVP_PKEY> key;
  std::string distinguishedName;  // the subject, RFC 2253 style
  std::string signedDataValue;    // "dn=...&certList=...", URL-encoded values
};

using SharedCredentials = std::shared_ptr<const ServerCredentials>;

// A fresh self-signed RSA-2048 certificate with a short subject.
SharedCredentials GenerateCredentials(std::string* error);

// From PEM files (both given), else from `stateDir` when it holds them, else
// generated (and stored in `stateDir` when one is given).
SharedCredentials LoadCredentials(const std::string& certificateFile, const std::string& keyFile,
                                  const std::string& stateDir, std::string* error);

// Fills distinguishedName and signedDataValue from the certificate; false
// when the value would exceed what the client can hold.
bool CompleteCredentials(ServerCredentials* credentials, std::string* error);

// The PEM "PKCS7 SIGNED DATA" text (the SignedData body itself) whose
// certificate set holds `certificate` last. No signer information.
bool MakeCertificateList(X509* certificate, std::string* pem, std::string* error);

}  // namespace dovrel::server
