#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "pkcs7/pkcs7.h"
#include "tests/pkcs7/test_certificates.h"

namespace dovrel {
namespace {

using test::CertificatePem;
using test::KeyKind;
using test::MakeIdentity;
using test::SignedDataDer;
using test::SignedDataOptions;
using test::TestIdentity;

// As the server sends values: everything but letters and digits escaped.
std::string UrlEncode(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      out += static_cast<char>(c);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      out += escape;
    }
  }
  return out;
}

std::string SignedDataPem(const SignedDataOptions& options) {
  return test::PemArmour(kSignedDataLabel, SignedDataDer(options));
}

// Three small certificates: the server's is the last.
struct CertificateChain {
  TestIdentity root = MakeIdentity(KeyKind::kEcP256, "root");
  TestIdentity middle = MakeIdentity(KeyKind::kEcP256, "middle");
  TestIdentity server = MakeIdentity(KeyKind::kEcP256, "server");
  std::string Pem() const {
    return SignedDataPem(
        {{root.certificate.get(), middle.certificate.get(), server.certificate.get()}});
  }
};

struct Extracted {
  std::ptrdiff_t result;
  std::string certificate;
  CryptoErrorRecord record;
};

Extracted Extract(const std::string& data, int armour, std::size_t capacity = 3072) {
  Extracted out{};
  std::string buffer(capacity + 1, '#');  // one guard byte past the capacity
  out.result =
      ExtractCertificate(data.data(), data.size(), armour, buffer.data(), capacity, &out.record);
  EXPECT_EQ(buffer[capacity], '#') << "written past the capacity";
  if (out.result >= 0) out.certificate = buffer.substr(0, buffer.find('\0'));
  return out;
}

TEST(ReadServerCertificate, YieldsTheLastOfThreeCertificatesAndTheName) {
  CertificateChain chain;
  std::string text = "dn=" + UrlEncode("CN=server, O=bank") + "&certList=" + UrlEncode(chain.Pem());
  char name[256] = {};
  char certificate[3072] = {};
  CryptoErrorRecord record{};
  ASSERT_EQ(ReadServerCertificate(text.data(), text.size(), name, sizeof name, certificate,
                                  sizeof certificate, &record),
            0)
      << record.message << record.place;
  EXPECT_STREQ(name, "CN=server, O=bank");
  EXPECT_EQ(certificate, CertificatePem(chain.server.certificate.get()));
}

TEST(ReadServerCertificate, RefusesTextsWithoutNameOrCertificate) {
  CertificateChain chain;
  const std::string list = UrlEncode(chain.Pem());
  struct Case {
    std::string text;
    const char* message;  // null: left by the certificate extraction
    const char* place;
  };
  const Case cases[] = {
      {"DN=server&certList=" + list, "errn.1101", "암호화관련: 368\n"},  // the key is exact
      {"certList=" + list, "errn.1101", "암호화관련: 368\n"},
      {"", "errn.1101", "암호화관련: 368\n"},
      {"a=1&b=2&c=3&d=4&dn=server&certList=" + list, "errn.1101", "암호화관련: 368\n"},
      {"dn=server", nullptr, "암호화관련 :  283 LINE\n암호화관련 :  375 LINE\n"},
      {"dn=server&certList=" + UrlEncode(test::PemArmour("PKCS7", "x")), nullptr,
       "암호화관련 :  283 LINE\n암호화관련 :  375 LINE\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    char name[256] = {};
    char certificate[3072] = {};
    CryptoErrorRecord record{};
    EXPECT_EQ(ReadServerCertificate(c.text.data(), c.text.size(), name, sizeof name, certificate,
                                    sizeof certificate, &record),
              -1);
    if (c.message != nullptr) {
      EXPECT_STREQ(record.message, c.message);
    }
    EXPECT_STREQ(record.place, c.place);
    EXPECT_STREQ(certificate, "");
  }
}

TEST(ReadServerCertificate, TakesTheLastNameAndCutsItToItsBuffer) {
  CertificateChain chain;
  std::string text = "dn=first&dn=second-name&certList=" + UrlEncode(chain.Pem());
  char name[8];
  std::memset(name, '#', sizeof name);
  char certificate[3072] = {};
  CryptoErrorRecord record{};
  ASSERT_EQ(ReadServerCertificate(text.data(), text.size(), name, 7, certificate,
                                  sizeof certificate, &record),
            0);
  EXPECT_STREQ(name, "second");
  EXPECT_EQ(name[7], '#');
}

TEST(ExtractCertificate, IgnoresSignaturesAndUnopenableContentWithoutSigners) {
  TestIdentity signer = MakeIdentity(KeyKind::kEcP256, "signer");
  TestIdentity other = MakeIdentity(KeyKind::kEcP256, "other");
  std::vector<const X509*> both = {other.certificate.get(), signer.certificate.get()};
  struct Case {
    const char* what;
    SignedDataOptions options;
  };
  const Case cases[] = {
      {"valid signature", {both, &signer}},
      {"signature over other content", {both, &signer, "signed content", true}},
      {"no signers, content that cannot be opened", {both, nullptr, "x", false, true}},
      {"no signers, no content", {both, nullptr, ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Extracted pem = Extract(SignedDataPem(c.options), kArmourPem);
    ASSERT_GT(pem.result, 0) << pem.record.message << pem.record.place;
    EXPECT_EQ(pem.certificate, CertificatePem(signer.certificate.get()));
    EXPECT_EQ(static_cast<std::size_t>(pem.result), pem.certificate.size());
    Extracted der = Extract(SignedDataDer(c.options), kArmourDer);
    EXPECT_EQ(der.certificate, pem.certificate);
  }
}

TEST(ExtractCertificate, FailsWhenSignersComeWithContentThatCannotBeOpened) {
  TestIdentity signer = MakeIdentity(KeyKind::kEcP256, "signer");
  Extracted out = Extract(
      SignedDataPem({{signer.certificate.get()}, &signer, "content", false, true}), kArmourPem);
  EXPECT_EQ(out.result, -1);
  EXPECT_STREQ(out.record.message, "PKCS7_dataInit");
  EXPECT_STREQ(out.record.place, "암호화관련 : 302 LINE\n");
}

TEST(ExtractCertificate, RefusesWhatItCannotReadOrReturn) {
  TestIdentity one = MakeIdentity(KeyKind::kEcP256, "one");
  const std::string pem = SignedDataPem({{one.certificate.get()}});
  const std::size_t certificateLength = CertificatePem(one.certificate.get()).size();
  struct Case {
    const char* what;
    std::string data;
    int armour;
    std::size_t capacity;
    const char* place;  // null: fails without a record
  };
  const Case cases[] = {
      {"armour 3", pem, 3, 3072, "암호화관련 :  290 LINE\n"},
      {"DER garbage", "not DER at all", kArmourDer, 3072, "암호화관련 :  268 LINE\n"},
      {"PEM without the label", "-----BEGIN X-----\nQUJD\n-----END X-----\n", kArmourPem, 3072,
       "암호화관련 :  283 LINE\n"},
      {"certificate one byte over", pem, kArmourPem, certificateLength, "암호화관련 :  310 LINE\n"},
      {"empty certificate set", SignedDataPem({{}}), kArmourPem, 3072, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Extracted out = Extract(c.data, c.armour, c.capacity);
    EXPECT_EQ(out.result, -1);
    EXPECT_STREQ(out.record.place, c.place != nullptr ? c.place : "");
  }
  EXPECT_EQ(Extract(pem, kArmourPem, certificateLength + 1).result,
            static_cast<std::ptrdiff_t>(certificateLength));
  CryptoErrorRecord record{};
  EXPECT_EQ(ExtractCertificate(pem.data(), pem.size(), kArmourPem, nullptr, 3072, &record), -1);
}

}  // namespace
}  // namespace dovrel
