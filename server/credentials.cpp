#include "server/credentials.h"

#include <utility>

#include <openssl/crypto.h>
#include <openssl/pem.h>
#include <openssl/rand.h>

#include "server/atomic_file.h"
#include "server/crypto_errors.h"
#include "server/pem_block.h"
#include "server/state_folder.h"
#include "server/url_encode.h"

namespace dovrel::server {
namespace {

constexpr int kCertificateDays = 3650;

bool StoreCredentials(const ServerCredentials& credentials, const std::string& stateDir,
                      std::string* error) {
  UniquePtr<BIO> certText(BIO_new(BIO_s_mem()));
  UniquePtr<BIO> keyText(BIO_new(BIO_s_mem()));
  if (!certText || !keyText ||
      PEM_write_bio_X509(certText.get(), credentials.certificate.get()) != 1 ||
      PEM_write_bio_PrivateKey(keyText.get(), credentials.key.get(), nullptr, nullptr, 0, nullptr,
                               nullptr) != 1) {
    *error = "cannot write the credentials as PEM: " + TakeCryptoErrors();
    return false;
  }
  // The key first: a pair cut short leaves a key without its certificate,
  // which the next start refuses rather than replaces.
  return WriteFileAtomically(stateDir + "/" + kStateKeyFile, MemoryText(keyText.get()), 0600,
                             error) &&
         WriteFileAtomically(stateDir + "/" + kStateCertificateFile, MemoryText(certText.get()),
                             0644, error);
}

// The pair from PEM texts in `certBio` and `keyBio` (either may be null:
// unreadable), named `certificateFile` and `keyFile` in `error`.
SharedCredentials ReadCredentials(BIO* certBio, const std::string& certificateFile, BIO* keyBio,
                                  const std::string& keyFile, std::string* error) {
  auto credentials = std::make_shared<ServerCredentials>();
  if (certBio)
    credentials->certificate.reset(PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr));
  if (!credentials->certificate) {
    *error = "cannot read the certificate " + certificateFile + ": " + TakeCryptoErrors();
    return nullptr;
  }
  if (keyBio) credentials->key.reset(PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr));
  if (!credentials->key) {
    *error = "cannot read the private key " + keyFile + ": " + TakeCryptoErrors();
    return nullptr;
  }
  if (X509_check_private_key(credentials->certificate.get(), credentials->key.get()) != 1) {
    *error =
        "the private key " + keyFile + " does not belong to the certificate " + certificateFile;
    TakeCryptoErrors();
    return nullptr;
  }
  if (EVP_PKEY_get_base_id(credentials->key.get()) != EVP_PKEY_RSA) {
    *error = "the key in " + keyFile + " is not an RSA key; the clients envelope for RSA only";
    return nullptr;
  }
  if (!CompleteCredentials(credentials.get(), error)) return nullptr;
  return credentials;
}

// The files as given: an administrator's choice, links followed.
SharedCredentials ReadCredentialFiles(const std::string& certificateFile,
                                      const std::string& keyFile, std::string* error) {
  UniquePtr<BIO> certBio(BIO_new_file(certificateFile.c_str(), "r"));
  UniquePtr<BIO> keyBio(BIO_new_file(keyFile.c_str(), "r"));
  return ReadCredentials(certBio.get(), certificateFile, keyBio.get(), keyFile, error);
}

// The pair kept in the state folder, never read through a link.
SharedCredentials ReadStateCredentials(int folder, const std::string& stateDir,
                                       std::string* error) {
  const std::string certPath = stateDir + "/" + kStateCertificateFile;
  const std::string keyPath = stateDir + "/" + kStateKeyFile;
  std::string certText, keyText;
  if (!ReadStateFile(folder, kStateCertificateFile, certPath, &certText, error) ||
      !ReadStateFile(folder, kStateKeyFile, keyPath, &keyText, error))
    return nullptr;
  UniquePtr<BIO> certBio(BIO_new_mem_buf(certText.data(), static_cast<int>(certText.size())));
  UniquePtr<BIO> keyBio(BIO_new_mem_buf(keyText.data(), static_cast<int>(keyText.size())));
  SharedCredentials credentials =
      ReadCredentials(certBio.get(), certPath, keyBio.get(), keyPath, error);
  OPENSSL_cleanse(keyText.data(), keyText.size());
  return credentials;
}

bool SetRandomSerial(X509* certificate) {
  UniquePtr<BIGNUM> serial(BN_new());
  if (!serial || BN_rand(serial.get(), 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) != 1) return false;
  return BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate)) != nullptr;
}

}  // namespace

bool MakeCertificateList(X509* certificate, std::string* pem, std::string* error) {
  UniquePtr<PKCS7> signedData(PKCS7_new());
  if (!signedData || PKCS7_set_type(signedData.get(), NID_pkcs7_signed) != 1 ||
      PKCS7_content_new(signedData.get(), NID_pkcs7_data) != 1 ||
      PKCS7_add_certificate(signedData.get(), certificate) != 1) {
    *error = "cannot build the signed data: " + TakeCryptoErrors();
    return false;
  }
  // The body alone, without the ContentInfo around it.
  std::string text = WritePemBlock(kSignedDataLabel, signedData->d.sign, i2d_PKCS7_SIGNED);
  if (text.empty()) {
    *error = "cannot write the signed data: " + TakeCryptoErrors();
    return false;
  }
  *pem = std::move(text);
  return true;
}

bool CompleteCredentials(ServerCredentials* credentials, std::string* error) {
  UniquePtr<BIO> name(BIO_new(BIO_s_mem()));
  if (!name || X509_NAME_print_ex(name.get(), X509_get_subject_name(credentials->certificate.get()),
                                  0, XN_FLAG_RFC2253) < 0) {
    *error = "cannot print the certificate's subject: " + TakeCryptoErrors();
    return false;
  }
  credentials->distinguishedName = MemoryText(name.get());

  std::string certList;
  if (!MakeCertificateList(credentials->certificate.get(), &certList, error)) return false;
  const std::string encodedName = UrlEncode(credentials->distinguishedName);
  const std::string encodedList = UrlEncode(certList);
  credentials->signedDataValue = "dn=" + encodedName + "&certList=" + encodedList;
  if (certList.size() > kDecodedPairValueLimit ||
      credentials->distinguishedName.size() > kDecodedPairValueLimit ||
      credentials->signedDataValue.size() > kSignedDataValueLimit) {
    *error = "the certificate is too large for the clients (SERVER_SIGNED_DATA would be " +
             std::to_string(credentials->signedDataValue.size()) + " characters, at most " +
             std::to_string(kSignedDataValueLimit) +
             " fit): use an RSA-2048 certificate with a short subject";
    return false;
  }
  return true;
}

SharedCredentials GenerateCredentials(std::string* error) {
  auto credentials = std::make_shared<ServerCredentials>();
  credentials->key.reset(EVP_RSA_gen(2048));
  credentials->certificate.reset(X509_new());
  X509* cert = credentials->certificate.get();
  X509_NAME* subject = cert ? X509_get_subject_name(cert) : nullptr;
  const bool made =
      credentials->key && cert && X509_set_version(cert, X509_VERSION_3) == 1 &&
      SetRandomSerial(cert) && X509_gmtime_adj(X509_getm_notBefore(cert), -3600) != nullptr &&
      X509_time_adj_ex(X509_getm_notAfter(cert), kCertificateDays, 0, nullptr) != nullptr &&
      X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                 reinterpret_cast<const unsigned char*>(kGeneratedSubject), -1, -1,
                                 0) == 1 &&
      X509_set_issuer_name(cert, subject) == 1 &&
      X509_set_pubkey(cert, credentials->key.get()) == 1 &&
      X509_sign(cert, credentials->key.get(), EVP_sha256()) > 0;
  if (!made) {
    *error = "cannot generate the server's certificate: " + TakeCryptoErrors();
    return nullptr;
  }
  if (!CompleteCredentials(credentials.get(), error)) return nullptr;
  return credentials;
}

SharedCredentials LoadCredentials(const std::string& certificateFile, const std::string& keyFile,
                                  const std::string& stateDir, std::string* error) {
  if (certificateFile.empty() != keyFile.empty()) {
    *error = "--cert and --key go together: give both or neither";
    return nullptr;
  }
  if (!certificateFile.empty()) return ReadCredentialFiles(certificateFile, keyFile, error);
  if (!stateDir.empty()) {
    const unique_fd folder = OpenStateFolder(stateDir, error);
    if (!folder) return nullptr;
    const bool haveCertificate = StateFileTaken(folder.get(), kStateCertificateFile);
    const bool haveKey = StateFileTaken(folder.get(), kStateKeyFile);
    if (haveCertificate && haveKey) return ReadStateCredentials(folder.get(), stateDir, error);
    if (haveCertificate != haveKey) {
      *error = "the state folder " + stateDir + " holds " +
               (haveKey ? kStateKeyFile : kStateCertificateFile) + " but not " +
               (haveKey ? kStateCertificateFile : kStateKeyFile) +
               ": put the missing file back, or remove the other to have a new pair made";
      return nullptr;
    }
  }
  SharedCredentials generated = GenerateCredentials(error);
  if (generated && !stateDir.empty() && !StoreCredentials(*generated, stateDir, error))
    return nullptr;
  return generated;
}

}  // namespace dovrel::server
