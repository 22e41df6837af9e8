// The server's certificate, carried in a SignedData body. The signed data is
// only a carrier: signatures, trust and validity are not examined here.

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "net/codecs.h"
#include "pkcs7/crypto_init.h"
#include "pkcs7/crypto_ptr.h"
#include "pkcs7/failure_sites.h"
#include "pkcs7/pkcs7.h"

namespace dovrel {
namespace {

constexpr int kSignedDataPairs = 4;  // pairs after the fourth are not read

// PEM_ASN1_read_bio's decoder type; the library fills a fresh object.
void* DecodeSignedBody(void** /*reuse*/, const unsigned char** in, long length) {
  return d2i_PKCS7_SIGNED(nullptr, in, length);
}

UniquePtr<PKCS7_SIGNED> ReadDer(const char* data, std::size_t length) {
  if (length > static_cast<std::size_t>(LONG_MAX)) {
    ERR_raise(ERR_LIB_ASN1, ASN1_R_TOO_LONG);
    return nullptr;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  return UniquePtr<PKCS7_SIGNED>(d2i_PKCS7_SIGNED(nullptr, &p, static_cast<long>(length)));
}

// Reads the content through once, as a signature check would, and discards
// it. Content that cannot be opened matters only when there are signers.
bool ReadThroughContent(PKCS7* p7) {
  ERR_set_mark();
  UniquePtr<BIO> content(PKCS7_dataInit(p7, nullptr));
  if (content != nullptr) {
    char piece[1024];
    while (BIO_read(content.get(), piece, sizeof piece) > 0) {
    }
    ERR_pop_to_mark();
    return true;
  }
  bool hasSigners = sk_PKCS7_SIGNER_INFO_num(p7->d.sign->signer_info) > 0;
  if (hasSigners) {
    ERR_clear_last_mark();
  } else {
    ERR_pop_to_mark();
  }
  return !hasSigners;
}

// The last certificate of the set as PEM text; -1, with nothing recorded,
// when there is none or it cannot be written out.
std::ptrdiff_t WriteLastCertificate(const PKCS7_SIGNED* body, char* certificate,
                                    std::size_t capacity, CryptoErrorRecord* error) {
  int count = sk_X509_num(body->cert);
  if (certificate == nullptr || capacity == 0 || count <= 0) return -1;
  UniquePtr<BIO> out(BIO_new(BIO_s_mem()));
  if (out == nullptr || PEM_write_bio_X509(out.get(), sk_X509_value(body->cert, count - 1)) != 1) {
    ERR_clear_error();
    return -1;
  }
  char* pem = nullptr;
  long size = BIO_get_mem_data(out.get(), &pem);
  if (size < 0 || static_cast<unsigned long>(size) > capacity - 1) {
    // A cut certificate would only fail later, far from the cause.
    char message[kCryptoTextSize];
    std::snprintf(message, sizeof message, "Certificate of %ld bytes exceeds its buffer of %lu",
                  size, static_cast<unsigned long>(capacity));
    SetCryptoFailure(error, message, PlaceStyle::kPaddedLine, kCryptoTag, kSiteCertificateTooLong);
    return -1;
  }
  std::memcpy(certificate, pem, static_cast<std::size_t>(size));
  certificate[size] = '\0';
  return size;
}

}  // namespace

std::ptrdiff_t ExtractCertificate(const char* data, std::size_t length, int armour,
                                  char* certificate, std::size_t capacity,
                                  CryptoErrorRecord* error) {
  EnsureCryptoProviders();
  if (data == nullptr) {
    data = "";
    length = 0;
  }
  UniquePtr<PKCS7> p7(PKCS7_new());
  if (p7 == nullptr || PKCS7_set_type(p7.get(), NID_pkcs7_signed) != 1) {
    FormatCryptoError(error, kCryptoTag, kSiteCertificateObjectNotCreated);
    return -1;
  }
  UniquePtr<PKCS7_SIGNED> body;
  if (armour == kArmourDer) {
    body = ReadDer(data, length);
    if (body == nullptr) {
      FormatCryptoError(error, kCryptoTag, kSiteCertificateDerUnreadable);
      return -1;
    }
  } else if (armour == kArmourPem) {
    UniquePtr<BIO> in;
    if (length <= static_cast<std::size_t>(INT_MAX)) {
      in.reset(BIO_new_mem_buf(data, static_cast<int>(length)));
    } else {
      ERR_raise(ERR_LIB_BIO, ERR_R_PASSED_INVALID_ARGUMENT);
    }
    if (in == nullptr) {
      FormatCryptoError(error, kCryptoTag, kSiteCertificateBioNotCreated);
      return -1;
    }
    body.reset(static_cast<PKCS7_SIGNED*>(PEM_ASN1_read_bio(DecodeSignedBody, kSignedDataLabel,
                                                            in.get(), nullptr, nullptr, nullptr)));
    if (body == nullptr) {
      FormatCryptoError(error, kCryptoTag, kSiteCertificatePemUnreadable);
      return -1;
    }
  } else {
    SetUnsupportedArmour(error, armour, PlaceStyle::kPaddedLine, kSiteCertificateUnsupportedArmour);
    return -1;
  }
  PKCS7_SIGNED_free(p7->d.sign);
  p7->d.sign = body.release();

  if (!ReadThroughContent(p7.get())) {
    SetCryptoFailure(error, "PKCS7_dataInit", PlaceStyle::kLine, kCryptoTag,
                     kSiteCertificateContentNotOpened);
    return -1;
  }
  return WriteLastCertificate(p7->d.sign, certificate, capacity, error);
}

int ReadServerCertificate(const char* text, std::size_t length, char* name,
                          std::size_t nameCapacity, char* certificate,
                          std::size_t certificateCapacity, CryptoErrorRecord* error) {
  OptionEntry entries[kSignedDataPairs];
  int count = ParseOptionList(text, text != nullptr ? length : 0, entries, kSignedDataPairs);
  const char* serverName = nullptr;
  const char* certificateList = "";
  for (int i = 0; i < count; ++i) {  // the last occurrence of a key counts
    if (std::strcmp(entries[i].key, "dn") == 0) serverName = entries[i].value;
    if (std::strcmp(entries[i].key, "certList") == 0) certificateList = entries[i].value;
  }
  if (count == 0 || serverName == nullptr) {
    SetCryptoFailure(error, "errn.1101", PlaceStyle::kShort, kCryptoTag, kSiteCertificateNoName);
    return -1;
  }
  if (name != nullptr && nameCapacity > 0) {
    std::snprintf(name, nameCapacity, "%s", serverName);  // cut to the caller's buffer
  }
  if (ExtractCertificate(certificateList, std::strlen(certificateList), kArmourPem, certificate,
                         certificateCapacity, error) < 0) {
    AppendErrorPlace(error, kCryptoTag, kSiteCertificateNotExtracted);
    return -1;
  }
  return 0;
}

}  // namespace dovrel
