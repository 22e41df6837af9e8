// The envelope that carries the Key text to the server: EnvelopedData for one
// recipient, content cipher CAST5-CBC.

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "pkcs7/crypto_init.h"
#include "pkcs7/crypto_ptr.h"
#include "pkcs7/failure_sites.h"
#include "pkcs7/pkcs7.h"

namespace dovrel {
namespace {

// PEM_ASN1_write_bio's encoder type.
int EncodeEnvelopedBody(const void* body, unsigned char** out) {
  return i2d_PKCS7_ENVELOPE(static_cast<const PKCS7_ENVELOPE*>(body), out);
}

void FailOutputTooLong(CryptoErrorRecord* error, long length, std::size_t capacity) {
  char message[kCryptoTextSize];
  std::snprintf(message, sizeof message, "Envelope of %ld bytes exceeds the output of %lu bytes",
                length, static_cast<unsigned long>(capacity));
  SetCryptoFailure(error, message, PlaceStyle::kPaddedLine, kCryptoTag, kSiteSealOutputTooLong);
}

// Encrypts the plaintext into the envelope: the library draws the content key
// and initial vector and encrypts the key for the recipient.
bool FillContent(PKCS7* p7, const char* plaintext, std::size_t length, CryptoErrorRecord* error) {
  UniquePtr<BIO> content(PKCS7_dataInit(p7, nullptr));
  if (content == nullptr) {
    SetCryptoFailure(error, "PKCS7_dataInit", PlaceStyle::kPaddedLine, kCryptoTag,
                     kSiteSealContentNotOpened);
    return false;
  }
  bool written = length <= static_cast<std::size_t>(INT_MAX) &&
                 (length == 0 || BIO_write(content.get(), plaintext, static_cast<int>(length)) ==
                                     static_cast<int>(length));
  (void)BIO_flush(content.get());
  if (!written || PKCS7_dataFinal(p7, content.get()) != 1) {
    SetCryptoFailure(error, "PKCS7_dataFinal", PlaceStyle::kLine, kCryptoTag,
                     kSiteSealContentNotFinished);
    return false;
  }
  return true;
}

std::ptrdiff_t WriteDer(const PKCS7_ENVELOPE* body, char* output, std::size_t capacity,
                        CryptoErrorRecord* error) {
  int length = i2d_PKCS7_ENVELOPE(body, nullptr);
  if (length < 0) {
    FormatCryptoError(error, kCryptoTag, kSiteSealOutputBioNotCreated);
    return -1;
  }
  if (static_cast<unsigned long>(length) > capacity) {
    FailOutputTooLong(error, length, capacity);
    return -1;
  }
  auto* out = reinterpret_cast<unsigned char*>(output);
  return i2d_PKCS7_ENVELOPE(body, &out);
}

std::ptrdiff_t WritePem(const PKCS7_ENVELOPE* body, char* output, std::size_t capacity,
                        CryptoErrorRecord* error) {
  UniquePtr<BIO> out(BIO_new(BIO_s_mem()));
  if (out == nullptr || PEM_ASN1_write_bio(EncodeEnvelopedBody, kEnvelopedDataLabel, out.get(),
                                           body, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    FormatCryptoError(error, kCryptoTag, kSiteSealOutputBioNotCreated);
    return -1;
  }
  char* pem = nullptr;
  long length = BIO_get_mem_data(out.get(), &pem);
  // A cut envelope would reach the server as garbage; refuse it here instead.
  if (length < 0 || capacity == 0 || static_cast<unsigned long>(length) > capacity - 1) {
    FailOutputTooLong(error, length, capacity);
    return -1;
  }
  std::memcpy(output, pem, static_cast<std::size_t>(length));
  output[length] = '\0';
  return length;
}

}  // namespace

std::ptrdiff_t SealEnvelope(const char* certificate, const char* plaintext,
                            std::size_t plaintextLength, char* output, std::size_t capacity,
                            int armour, CryptoErrorRecord* error) {
  EnsureCryptoProviders();
  UniquePtr<PKCS7> p7(PKCS7_new());
  if (p7 == nullptr || PKCS7_set_type(p7.get(), NID_pkcs7_enveloped) != 1 ||
      PKCS7_set_cipher(p7.get(), EVP_cast5_cbc()) != 1) {
    FormatCryptoError(error, kCryptoTag, kSiteSealObjectNotCreated);
    return -1;
  }
  UniquePtr<BIO> in(BIO_new_mem_buf(certificate != nullptr ? certificate : "", -1));
  if (in == nullptr) {
    FormatCryptoError(error, kCryptoTag, kSiteSealBioNotCreated);
    return -1;
  }
  UniquePtr<X509> recipient(PEM_read_bio_X509(in.get(), nullptr, nullptr, nullptr));
  if (recipient == nullptr) {
    SetCryptoFailure(error, "errn.1203", PlaceStyle::kPaddedLine, kCryptoTag,
                     kSiteSealCertificateUnreadable);
    return -1;
  }
  if (PKCS7_add_recipient(p7.get(), recipient.get()) == nullptr) {
    FormatCryptoError(error, kCryptoTag, kSiteSealRecipientNotAdded);
    return -1;
  }
  if (plaintext == nullptr) plaintextLength = 0;
  if (!FillContent(p7.get(), plaintext, plaintextLength, error)) return -1;

  if (output == nullptr) capacity = 0;
  if (armour == kArmourDer) return WriteDer(p7->d.enveloped, output, capacity, error);
  if (armour == kArmourPem) return WritePem(p7->d.enveloped, output, capacity, error);
  SetUnsupportedArmour(error, armour, PlaceStyle::kShort, kSiteSealUnsupportedArmour);
  return -1;
}

}  // namespace dovrel
