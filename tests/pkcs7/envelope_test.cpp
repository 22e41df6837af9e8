#include <gtest/gtest.h>
#include <openssl/bio.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>

#include <string>

#include "pkcs7/crypto_ptr.h"
#include "pkcs7/pkcs7.h"
#include "tests/pkcs7/test_certificates.h"

namespace dovrel {
namespace {

using test::CertificatePem;
using test::SharedRsaIdentity;

const std::string kKeyText =
    "sessionkey=000102030405060708090a0b0c0d0e0f&initvector=0a0b0c0d0e0f1011";

// Reads PEM text of any label back into its DER body, independently of the
// code under test; empty when the label differs.
std::string PemBody(const std::string& pem, const char* label) {
  UniquePtr<BIO> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  char* name = nullptr;
  char* header = nullptr;
  unsigned char* data = nullptr;
  long length = 0;
  std::string body;
  if (PEM_read_bio(bio.get(), &name, &header, &data, &length) == 1 && std::string(name) == label) {
    body.assign(reinterpret_cast<char*>(data), static_cast<std::size_t>(length));
  }
  OPENSSL_free(name);
  OPENSSL_free(header);
  OPENSSL_free(data);
  return body;
}

UniquePtr<PKCS7> EnvelopeFromBody(const std::string& der) {
  const auto* p = reinterpret_cast<const unsigned char*>(der.data());
  PKCS7_ENVELOPE* body = d2i_PKCS7_ENVELOPE(nullptr, &p, static_cast<long>(der.size()));
  if (body == nullptr) return nullptr;
  UniquePtr<PKCS7> p7(PKCS7_new());
  PKCS7_set_type(p7.get(), NID_pkcs7_enveloped);
  PKCS7_ENVELOPE_free(p7->d.enveloped);
  p7->d.enveloped = body;
  return p7;
}

// What the recipient's private key reads out of the envelope.
std::string OpenEnvelope(PKCS7* p7) {
  const auto& identity = SharedRsaIdentity();
  UniquePtr<BIO> out(BIO_new(BIO_s_mem()));
  if (PKCS7_decrypt(p7, identity.key.get(), identity.certificate.get(), out.get(), 0) != 1) {
    return "<not opened>";
  }
  char* data = nullptr;
  long length = BIO_get_mem_data(out.get(), &data);
  return std::string(data, static_cast<std::size_t>(length));
}

std::string Seal(int armour, std::size_t capacity, std::ptrdiff_t* result,
                 CryptoErrorRecord* record) {
  std::string certificate = CertificatePem(SharedRsaIdentity().certificate.get());
  std::string output(capacity + 1, '#');
  *result = SealEnvelope(certificate.c_str(), kKeyText.data(), kKeyText.size(), output.data(),
                         capacity, armour, record);
  EXPECT_EQ(output[capacity], '#') << "written past the capacity";
  return output;
}

TEST(SealEnvelope, WritesPemEnvelopedDataForOneRecipientUnderCast5) {
  CryptoErrorRecord record{};
  std::ptrdiff_t length = 0;
  std::string output = Seal(kArmourPem, 5120, &length, &record);
  ASSERT_GT(length, 0) << record.message << record.place;
  std::string pem = output.substr(0, static_cast<std::size_t>(length));
  EXPECT_EQ(output[static_cast<std::size_t>(length)], '\0');
  EXPECT_EQ(pem.rfind("-----BEGIN PKCS7 ENVELOPED DATA-----\n", 0), 0u);
  EXPECT_EQ(pem.substr(pem.size() - 35), "-----END PKCS7 ENVELOPED DATA-----\n");

  UniquePtr<PKCS7> p7 = EnvelopeFromBody(PemBody(pem, kEnvelopedDataLabel));
  ASSERT_NE(p7, nullptr);
  EXPECT_EQ(sk_PKCS7_RECIP_INFO_num(p7->d.enveloped->recipientinfo), 1);
  char oid[64];
  const ASN1_OBJECT* cipher = nullptr;
  X509_ALGOR_get0(&cipher, nullptr, nullptr, p7->d.enveloped->enc_data->algorithm);
  OBJ_obj2txt(oid, sizeof oid, cipher, 1);
  EXPECT_STREQ(oid, "1.2.840.113533.7.66.10");
  EXPECT_EQ(OpenEnvelope(p7.get()), kKeyText);
}

TEST(SealEnvelope, WritesDerWithinItsCapacity) {
  CryptoErrorRecord record{};
  std::ptrdiff_t length = 0;
  std::string output = Seal(kArmourDer, 2048, &length, &record);
  ASSERT_GT(length, 0) << record.message << record.place;
  UniquePtr<PKCS7> p7 = EnvelopeFromBody(output.substr(0, static_cast<std::size_t>(length)));
  ASSERT_NE(p7, nullptr);
  EXPECT_EQ(OpenEnvelope(p7.get()), kKeyText);

  // One byte short of the DER, or of the PEM and its zero: refused, not cut.
  std::size_t exact = static_cast<std::size_t>(length);
  Seal(kArmourDer, exact - 1, &length, &record);
  EXPECT_EQ(length, -1);
  EXPECT_STREQ(record.place, "암호화관련 :  215 LINE\n");
  Seal(kArmourPem, 5120, &length, &record);
  std::size_t pemLength = static_cast<std::size_t>(length);
  Seal(kArmourPem, pemLength, &length, &record);
  EXPECT_EQ(length, -1);
  Seal(kArmourPem, pemLength + 1, &length, &record);
  EXPECT_EQ(length, static_cast<std::ptrdiff_t>(pemLength));
}

TEST(SealEnvelope, DrawsAFreshContentKeyEachTime) {
  CryptoErrorRecord record{};
  std::ptrdiff_t first = 0;
  std::ptrdiff_t second = 0;
  std::string a = Seal(kArmourDer, 2048, &first, &record);
  std::string b = Seal(kArmourDer, 2048, &second, &record);
  ASSERT_GT(first, 0);
  EXPECT_NE(a.substr(0, static_cast<std::size_t>(first)),
            b.substr(0, static_cast<std::size_t>(second)));
}

TEST(SealEnvelope, RefusesBadCertificatesAndUnknownArmour) {
  struct Case {
    const char* what;
    std::string certificate;
    int armour;
    const char* message;
    const char* place;
  };
  const std::string good = CertificatePem(SharedRsaIdentity().certificate.get());
  const Case cases[] = {
      {"no certificate", "", kArmourPem, "errn.1203", "암호화관련 :  164 LINE\n"},
      {"cut certificate", good.substr(0, good.size() / 2), kArmourPem, "errn.1203",
       "암호화관련 :  164 LINE\n"},
      {"armour 5", good, 5, "Unsupported encoding: 5", "암호화관련: 222\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    char output[5120];
    CryptoErrorRecord record{};
    EXPECT_EQ(SealEnvelope(c.certificate.c_str(), kKeyText.data(), kKeyText.size(), output,
                           sizeof output, c.armour, &record),
              -1);
    EXPECT_STREQ(record.message, c.message);
    EXPECT_STREQ(record.place, c.place);
  }
}

}  // namespace
}  // namespace dovrel
