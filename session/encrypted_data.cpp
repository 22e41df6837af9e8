// Decryption of the EncryptedData bodies that carry the received files. Both
// entry points share one core, so the rules (markers, control characters,
// cipher look-up, key and initial-vector lengths, the padding quirk) hold for
// both alike.

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>

#include <climits>
#include <cstdio>
#include <memory>
#include <new>

#include "net/codecs.h"
#include "session/cipher_choice.h"
#include "session/crypto_init.h"
#include "session/crypto_ptr.h"
#include "session/encrypted_data_parts.h"
#include "session/pem_body.h"
#include "session/pkcs7.h"

namespace dovrel {
namespace {

// Failure sites, as numbered in the error record's place line.
constexpr int kSiteDerUnreadable = 45;
constexpr int kSitePemUnreadable = 76;
constexpr int kSiteUnsupportedArmour = 101;
constexpr int kSiteCipherUnknown = 109;
constexpr int kSiteOutputTooSmall = 111;
constexpr int kSiteNoContent = 112;
constexpr int kSiteDecryptFailed = 113;

// Where the plaintext goes: the caller's buffer, or over the ciphertext itself.
struct Destination {
  unsigned char* buffer;  // null: in place
  std::size_t capacity;
};

// Decrypts `content` into `out`, which may be `content` itself. The plaintext
// is never longer than the content, so a content that fits the output cannot
// overrun it; the whole content goes in one update so that in place the output
// never lags behind the input.
std::ptrdiff_t DecryptContent(const X509_ALGOR* algorithm, const unsigned char* content,
                              std::size_t contentLength, unsigned char* out, std::size_t capacity,
                              const SessionSecret& secret, CryptoErrorRecord* error) {
  UniquePtr<EVP_CIPHER> cipher = FetchCipher(algorithm);
  if (cipher == nullptr) {
    FormatCryptoError(error, kCryptoTag, kSiteCipherUnknown);
    return -1;
  }
  if (content == nullptr) {
    SetCryptoFailure(error, "EncryptedData without encrypted content", PlaceStyle::kPaddedLine,
                     kCryptoTag, kSiteNoContent);
    return -1;
  }
  if (!CoversCipher(cipher.get(), secret, error)) return -1;
  if (contentLength > capacity ||
      contentLength > static_cast<std::size_t>(INT_MAX - EVP_MAX_BLOCK_LENGTH)) {
    char message[kCryptoTextSize];
    std::snprintf(
        message, sizeof message, "Encrypted content of %llu bytes exceeds the output of %llu bytes",
        static_cast<unsigned long long>(contentLength), static_cast<unsigned long long>(capacity));
    SetCryptoFailure(error, message, PlaceStyle::kPaddedLine, kCryptoTag, kSiteOutputTooSmall);
    return -1;
  }
  UniquePtr<EVP_CIPHER_CTX> context(EVP_CIPHER_CTX_new());
  int written = 0;
  // The sender's initial vector in the algorithm identifier is not used: the
  // session's own is.
  if (context == nullptr ||
      EVP_DecryptInit_ex2(context.get(), cipher.get(), secret.key, secret.iv, nullptr) != 1 ||
      EVP_DecryptUpdate(context.get(), out, &written, content, static_cast<int>(contentLength)) !=
          1) {
    FormatCryptoError(error, kCryptoTag, kSiteDecryptFailed);
    return -1;
  }
  // A final block whose padding does not check out writes nothing, and the
  // call still succeeds with the bytes before it: the plaintext without its
  // last block. Those entries are dropped so no later record shows them.
  ERR_set_mark();
  int last = 0;
  if (EVP_DecryptFinal_ex(context.get(), out + written, &last) != 1) last = 0;
  ERR_pop_to_mark();
  return static_cast<std::ptrdiff_t>(written) + last;
}

// Decrypts one DER EncryptedData body. `writable` is the body's own memory
// when it may be overwritten (then the destination is ignored and the
// plaintext lands inside the body), else null.
std::ptrdiff_t DecryptBody(const unsigned char* der, std::size_t length, unsigned char* writable,
                           Destination destination, const SessionSecret& secret, int unreadableSite,
                           unsigned char** plaintext, CryptoErrorRecord* error) {
  EncryptedDataParts parts;
  const X509_ALGOR* algorithm = nullptr;
  const unsigned char* content = nullptr;
  std::size_t contentLength = 0;
  unsigned char* out = destination.buffer;
  std::size_t capacity = destination.capacity;
  UniquePtr<PKCS7_ENCRYPT> decoded;
  if (ReadEncryptedDataParts(der, length, &parts)) {
    algorithm = parts.algorithm.get();
    if (parts.hasContent) content = der + parts.contentOffset;
    contentLength = parts.contentLength;
    if (writable != nullptr) {
      out = writable + parts.contentOffset;
      capacity = parts.contentLength;
    }
  } else {
    // BER forms and damaged bodies: the library's decoder decides, at the cost
    // of its own copy of the content.
    const unsigned char* p = der;
    if (der == nullptr || length == 0) {
      ERR_raise(ERR_LIB_ASN1, ASN1_R_HEADER_TOO_LONG);
    } else if (length > static_cast<std::size_t>(LONG_MAX)) {
      ERR_raise(ERR_LIB_ASN1, ASN1_R_TOO_LONG);
    } else {
      decoded.reset(d2i_PKCS7_ENCRYPT(nullptr, &p, static_cast<long>(length)));
    }
    if (decoded == nullptr || decoded->enc_data == nullptr) {
      FormatCryptoError(error, kCryptoTag, unreadableSite);
      return -1;
    }
    algorithm = decoded->enc_data->algorithm;
    if (const ASN1_OCTET_STRING* string = decoded->enc_data->enc_data) {
      content = ASN1_STRING_get0_data(string);
      contentLength = static_cast<std::size_t>(ASN1_STRING_length(string));
    }
    if (writable != nullptr) {
      out = writable;  // the decoder's copy holds the content now
      capacity = length;
    }
  }
  std::ptrdiff_t count =
      DecryptContent(algorithm, content, contentLength, out, capacity, secret, error);
  if (count >= 0) *plaintext = out;
  return count;
}

void FailPemBody(CryptoErrorRecord* error, int reason, const char* detail) {
  ERR_raise_data(ERR_LIB_PEM, reason, "%s", detail);
  FormatCryptoError(error, kCryptoTag, kSitePemUnreadable);
}

// Decodes the control-character-free base64 in clean[0, length) over itself.
// Returns the DER length, or -1 after filling the record.
std::ptrdiff_t DecodeCleanBody(char* clean, std::size_t length, CryptoErrorRecord* error) {
  std::ptrdiff_t count =
      DecodeBase64Into(clean, length, reinterpret_cast<unsigned char*>(clean), length);
  if (count < 0) FailPemBody(error, PEM_R_BAD_BASE64_DECODE, kEncryptedDataLabel);
  return count;
}

bool LocateBody(const char* data, std::size_t length, TextSpan* span, CryptoErrorRecord* error) {
  if (FindEncryptedDataBody(data, length, span)) return true;
  FailPemBody(error, PEM_R_NO_START_LINE, "PKCS7 ENCRYPTED DATA markers missing or out of order");
  return false;
}

bool CheckArmour(int armour, CryptoErrorRecord* error) {
  if (armour == kArmourPem || armour == kArmourDer) return true;
  SetUnsupportedArmour(error, armour, PlaceStyle::kPadded, kSiteUnsupportedArmour);
  return false;
}

bool CheckOutput(const void* output, CryptoErrorRecord* error) {
  if (output != nullptr) return true;
  SetCryptoFailure(error, "No output buffer", PlaceStyle::kPaddedLine, kCryptoTag,
                   kSiteOutputTooSmall);
  return false;
}

}  // namespace

std::ptrdiff_t DecryptEncryptedData(const char* data, std::size_t length, int armour,
                                    const unsigned char* key, std::size_t keyLength,
                                    const unsigned char* iv, std::size_t ivLength,
                                    unsigned char* output, std::size_t capacity,
                                    CryptoErrorRecord* error) {
  EnsureCryptoProviders();
  if (!CheckArmour(armour, error) || !CheckOutput(output, error)) return -1;
  if (data == nullptr) length = 0;
  const SessionSecret secret{key, keyLength, iv, ivLength};
  const Destination destination{output, capacity};
  unsigned char* plaintext = nullptr;
  if (armour == kArmourDer) {
    return DecryptBody(reinterpret_cast<const unsigned char*>(data), length, nullptr, destination,
                       secret, kSiteDerUnreadable, &plaintext, error);
  }
  TextSpan span{};
  if (!LocateBody(data, length, &span, error)) return -1;
  std::unique_ptr<char[]> copy(new (std::nothrow) char[span.length + 1]);
  if (copy == nullptr) {
    FailPemBody(error, ERR_R_MALLOC_FAILURE, "copy of the PEM body");
    return -1;
  }
  std::size_t clean = DropControlCharacters(data + span.offset, span.length, copy.get());
  std::ptrdiff_t derLength = DecodeCleanBody(copy.get(), clean, error);
  if (derLength < 0) return -1;
  return DecryptBody(reinterpret_cast<const unsigned char*>(copy.get()),
                     static_cast<std::size_t>(derLength), nullptr, destination, secret,
                     kSitePemUnreadable, &plaintext, error);
}

std::ptrdiff_t DecryptEncryptedDataInPlace(char* data, std::size_t length, int armour,
                                           const unsigned char* key, std::size_t keyLength,
                                           const unsigned char* iv, std::size_t ivLength,
                                           unsigned char** plaintext, CryptoErrorRecord* error) {
  EnsureCryptoProviders();
  if (plaintext != nullptr) *plaintext = nullptr;
  if (!CheckArmour(armour, error) || !CheckOutput(plaintext, error)) return -1;
  if (data == nullptr) length = 0;
  const SessionSecret secret{key, keyLength, iv, ivLength};
  const Destination inPlace{nullptr, 0};
  if (armour == kArmourDer) {
    auto* der = reinterpret_cast<unsigned char*>(data);
    return DecryptBody(der, length, der, inPlace, secret, kSiteDerUnreadable, plaintext, error);
  }
  TextSpan span{};
  if (!LocateBody(data, length, &span, error)) return -1;
  char* body = data + span.offset;
  std::size_t clean = DropControlCharacters(body, span.length, body);
  std::ptrdiff_t derLength = DecodeCleanBody(body, clean, error);
  if (derLength < 0) return -1;
  auto* der = reinterpret_cast<unsigned char*>(body);
  return DecryptBody(der, static_cast<std::size_t>(derLength), der, inPlace, secret,
                     kSitePemUnreadable, plaintext, error);
}

}  // namespace dovrel
