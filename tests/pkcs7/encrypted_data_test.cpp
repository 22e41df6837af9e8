#include <gtest/gtest.h>

#include <string>

#include "pkcs7/pkcs7.h"
#include "tests/pkcs7/test_certificates.h"
#include "tests/support/line_ends.h"

namespace dovrel {
namespace {

using test::Der;
using test::EncryptWith;
using test::ObjectIdentifierDer;

const std::string kKey = "\x10\x21\x32\x43\x54\x65\x76\x87\x98\xa9\xba\xcb\xdc\xed\xfe\x0f";
const std::string kIv = "\x0a\x01\x02\x03\x04\x05\x06\x07";
const std::string kOtherIv = "\xf0\xe1\xd2\xc3\xb4\xa5\x96\x87";
const std::string kPlaintext = "file_size=20&file_contents=0123456789abcdefghij";  // 47 bytes

const char kDataOid[] = "1.2.840.113549.1.7.1";
const char kCast5Oid[] = "1.2.840.113533.7.66.10";

std::string AlgorithmIdentifier(const char* oid, const std::string& iv) {
  return Der(0x30, ObjectIdentifierDer(oid) + Der(0x04, iv));
}

// EncryptedData: version, then content type, algorithm and [0] IMPLICIT content.
std::string EncryptedDataDer(const char* oid, const std::string& algorithmIv,
                             const std::string& ciphertext, bool withContent = true) {
  std::string info = ObjectIdentifierDer(kDataOid) + AlgorithmIdentifier(oid, algorithmIv);
  if (withContent) info += Der(0x80, ciphertext);
  return Der(0x30, Der(0x02, std::string(1, '\0')) + Der(0x30, info));
}

// The same in a BER form: indefinite lengths, the content in two segments.
std::string EncryptedDataBer(const char* oid, const std::string& algorithmIv,
                             const std::string& ciphertext) {
  const std::string end(2, '\0');
  std::size_t half = ciphertext.size() / 2;
  return "\x30\x80" + Der(0x02, std::string(1, '\0')) + "\x30\x80" + ObjectIdentifierDer(kDataOid) +
         AlgorithmIdentifier(oid, algorithmIv) + "\xa0\x80" +
         Der(0x04, ciphertext.substr(0, half)) + Der(0x04, ciphertext.substr(half)) + end + end +
         end;
}

// Definite lengths, but the content as a constructed string of two segments.
std::string EncryptedDataSegmented(const char* oid, const std::string& algorithmIv,
                                   const std::string& ciphertext) {
  std::size_t half = ciphertext.size() / 2;
  std::string segments = Der(0x04, ciphertext.substr(0, half)) + Der(0x04, ciphertext.substr(half));
  std::string info =
      ObjectIdentifierDer(kDataOid) + AlgorithmIdentifier(oid, algorithmIv) + Der(0xa0, segments);
  return Der(0x30, Der(0x02, std::string(1, '\0')) + Der(0x30, info));
}

std::string Pem(const std::string& der, bool crlf = false) {
  std::string pem = test::PemArmour(kEncryptedDataLabel, der);
  return crlf ? test::WithCrLf(pem) : pem;
}

struct Result {
  std::ptrdiff_t length = -1;
  std::string plaintext;
  CryptoErrorRecord record{};
};

Result DecryptCopy(const std::string& data, int armour, const std::string& key = kKey,
                   const std::string& iv = kIv, std::size_t capacity = 0) {
  if (capacity == 0) capacity = data.size();
  Result out;
  std::string buffer(capacity + 1, '#');  // one guard byte past the capacity
  out.length = DecryptEncryptedData(
      data.data(), data.size(), armour, reinterpret_cast<const unsigned char*>(key.data()),
      key.size(), reinterpret_cast<const unsigned char*>(iv.data()), iv.size(),
      reinterpret_cast<unsigned char*>(buffer.data()), capacity, &out.record);
  EXPECT_EQ(buffer[capacity], '#') << "written past the capacity";
  if (out.length >= 0) out.plaintext = buffer.substr(0, static_cast<std::size_t>(out.length));
  return out;
}

// Every input gives its answer through the one decryption route.
Result DecryptBoth(const std::string& data, int armour, const std::string& key = kKey,
                   const std::string& iv = kIv) {
  return DecryptCopy(data, armour, key, iv);
}

TEST(DecryptEncryptedData, OpensEveryArmourAndLineBreakForm) {
  const std::string der =
      EncryptedDataDer(kCast5Oid, kIv, EncryptWith("CAST5-CBC", kKey, kIv, kPlaintext));
  struct Case {
    const char* what;
    std::string data;
    int armour;
  };
  const Case cases[] = {
      {"PEM, LF", Pem(der), kArmourPem},
      {"PEM, CR LF", Pem(der, true), kArmourPem},
      {"PEM inside other text", "ENC_DATA follows\n" + Pem(der) + "trailer", kArmourPem},
      {"DER", der, kArmourDer},
      {"DER with trailing bytes", der + "tail", kArmourDer},
      {"BER", EncryptedDataBer(kCast5Oid, kIv, EncryptWith("CAST5-CBC", kKey, kIv, kPlaintext)),
       kArmourDer},
      {"segmented content",
       EncryptedDataSegmented(kCast5Oid, kIv, EncryptWith("CAST5-CBC", kKey, kIv, kPlaintext)),
       kArmourDer},
      {"BER in PEM",
       Pem(EncryptedDataBer(kCast5Oid, kIv, EncryptWith("CAST5-CBC", kKey, kIv, kPlaintext))),
       kArmourPem},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Result out = DecryptBoth(c.data, c.armour);
    EXPECT_EQ(out.length, static_cast<std::ptrdiff_t>(kPlaintext.size()))
        << out.record.message << out.record.place;
    EXPECT_EQ(out.plaintext, kPlaintext);
  }
}

TEST(DecryptEncryptedData, AcceptsCiphersThatTheSessionKeysCover) {
  struct Case {
    const char* name;
    const char* oid;
    std::string iv;
  };
  const Case cases[] = {
      {"CAST5-CBC", kCast5Oid, kIv},
      {"BF-CBC", "1.3.6.1.4.1.3029.1.2", kIv},
      {"RC2-CBC", "1.2.840.113549.3.2", kIv},
      {"SEED-CBC", "1.2.410.200004.1.4", kIv + kOtherIv},  // given its 16-byte vector
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string der = EncryptedDataDer(c.oid, c.iv, EncryptWith(c.name, kKey, c.iv, kPlaintext));
    Result out = DecryptBoth(Pem(der), kArmourPem, kKey, c.iv);
    EXPECT_EQ(out.plaintext, kPlaintext) << out.record.message << out.record.place;
  }
}

TEST(DecryptEncryptedData, RefusesUnknownCiphersAndCiphersNeedingMoreThanTheSessionHas) {
  struct Case {
    const char* what;
    const char* oid;
    std::string key;
    std::string iv;
    const char* place;
  };
  const Case cases[] = {
      {"unregistered object", "1.3.6.1.4.1.99999.7", kKey, kIv, "암호화관련 :  109 LINE\n"},
      {"a digest, not a cipher", "2.16.840.1.101.3.4.2.1", kKey, kIv, "암호화관련 :  109 LINE\n"},
      {"SEED-CBC with an 8-byte vector", "1.2.410.200004.1.4", kKey, kIv,
       "암호화관련 :  110 LINE\n"},
      {"AES-128-CBC with an 8-byte vector", "2.16.840.1.101.3.4.1.2", kKey, kIv,
       "암호화관련 :  110 LINE\n"},
      {"DES-EDE3-CBC with a 16-byte key", "1.2.840.113549.3.7", kKey, kIv,
       "암호화관련 :  110 LINE\n"},
      {"CAST5-CBC with a short key", kCast5Oid, kKey.substr(0, 15), kIv,
       "암호화관련 :  110 LINE\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string der = EncryptedDataDer(c.oid, kIv, std::string(48, 'c'));
    Result out = DecryptBoth(Pem(der), kArmourPem, c.key, c.iv);
    EXPECT_EQ(out.length, -1);
    EXPECT_STREQ(out.record.place, c.place);
    EXPECT_STRNE(out.record.message, "");
  }
}

TEST(DecryptEncryptedData, IgnoresTheVectorInTheAlgorithmIdentifier) {
  // Encrypted under the session's vector, announcing another: decrypts whole.
  std::string announced =
      EncryptedDataDer(kCast5Oid, kOtherIv, EncryptWith("CAST5-CBC", kKey, kIv, kPlaintext));
  EXPECT_EQ(DecryptBoth(Pem(announced), kArmourPem).plaintext, kPlaintext);

  // Encrypted under the announced vector: only the first block comes out wrong.
  std::string sender =
      EncryptedDataDer(kCast5Oid, kOtherIv, EncryptWith("CAST5-CBC", kKey, kOtherIv, kPlaintext));
  Result out = DecryptBoth(Pem(sender), kArmourPem);
  ASSERT_EQ(out.length, static_cast<std::ptrdiff_t>(kPlaintext.size()));
  EXPECT_NE(out.plaintext.substr(0, 8), kPlaintext.substr(0, 8));
  EXPECT_EQ(out.plaintext.substr(8), kPlaintext.substr(8));
}

TEST(DecryptEncryptedData, LeavesOutAFinalBlockWithBadPaddingWithoutFailing) {
  std::string blocks = kPlaintext.substr(0, 40) + std::string(8, '\0');  // pad value 0: invalid
  std::string der =
      EncryptedDataDer(kCast5Oid, kIv, EncryptWith("CAST5-CBC", kKey, kIv, blocks, false));
  Result out = DecryptBoth(Pem(der), kArmourPem);
  EXPECT_EQ(out.length, 40);
  EXPECT_EQ(out.plaintext, kPlaintext.substr(0, 40));
}

TEST(DecryptEncryptedData, RefusesMalformedInputWithoutReadingPastIt) {
  const std::string der =
      EncryptedDataDer(kCast5Oid, kIv, EncryptWith("CAST5-CBC", kKey, kIv, kPlaintext));
  const std::string pem = Pem(der);
  const std::string body = pem.substr(37, pem.size() - 37 - 35);
  struct Case {
    const char* what;
    std::string data;
    int armour;
    const char* place;
  };
  std::string zeroInBody = pem;
  zeroInBody.insert(40, 1, '\0');
  const Case cases[] = {
      {"no BEGIN marker", body + "-----END PKCS7 ENCRYPTED DATA-----\n", kArmourPem,
       "암호화관련 :   76 LINE\n"},
      {"no END marker", "-----BEGIN PKCS7 ENCRYPTED DATA-----\n" + body, kArmourPem,
       "암호화관련 :   76 LINE\n"},
      {"markers reversed",
       "-----END PKCS7 ENCRYPTED DATA-----\n" + body + "-----BEGIN PKCS7 ENCRYPTED DATA-----\n",
       kArmourPem, "암호화관련 :   76 LINE\n"},
      {"pad after one symbol", Pem("x").replace(37, 4, "Q=\n"), kArmourPem,
       "암호화관련 :   76 LINE\n"},
      {"body not DER", Pem("not an EncryptedData"), kArmourPem, "암호화관련 :   76 LINE\n"},
      // The text ends at its first zero byte, so the END marker is not in it.
      {"zero byte in the body", zeroInBody, kArmourPem, "암호화관련 :   76 LINE\n"},
      {"DER cut short", der.substr(0, der.size() - 1), kArmourDer, "암호화관련 :   45 LINE\n"},
      {"empty", "", kArmourDer, "암호화관련 :   45 LINE\n"},
      {"no encrypted content", EncryptedDataDer(kCast5Oid, kIv, "", false), kArmourDer,
       "암호화관련 :  112 LINE\n"},
      {"armour 2", pem, 2, "암호화관련 :  101\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Result out = DecryptBoth(c.data, c.armour);
    EXPECT_EQ(out.length, -1);
    EXPECT_STREQ(out.record.place, c.place);
  }
  EXPECT_STREQ(DecryptCopy(pem, 2).record.message, "Unsupported encoding: 2");
}

TEST(DecryptEncryptedData, RefusesContentLongerThanTheOutput) {
  const std::string ciphertext = EncryptWith("CAST5-CBC", kKey, kIv, kPlaintext);
  const std::string pem = Pem(EncryptedDataDer(kCast5Oid, kIv, ciphertext));
  Result tooSmall = DecryptCopy(pem, kArmourPem, kKey, kIv, ciphertext.size() - 1);
  EXPECT_EQ(tooSmall.length, -1);
  EXPECT_STREQ(tooSmall.record.place, "암호화관련 :  111 LINE\n");
  // The plaintext is shorter than the content, but the content decides.
  Result exact = DecryptCopy(pem, kArmourPem, kKey, kIv, ciphertext.size());
  EXPECT_EQ(exact.plaintext, kPlaintext);
}

TEST(DecryptEncryptedData, ReadsDerAndBerForms) {
  const std::string ciphertext = EncryptWith("CAST5-CBC", kKey, kIv, kPlaintext);
  for (const std::string& body :
       {EncryptedDataDer(kCast5Oid, kIv, ciphertext), EncryptedDataBer(kCast5Oid, kIv, ciphertext),
        EncryptedDataSegmented(kCast5Oid, kIv, ciphertext)}) {
    EXPECT_EQ(DecryptCopy(body, kArmourDer).plaintext, kPlaintext);
    EXPECT_EQ(DecryptCopy(Pem(body), kArmourPem).plaintext, kPlaintext);
  }
}

TEST(DecryptEncryptedData, HandlesAFileOfSeveralMegabytes) {
  std::string plaintext(3 * 1024 * 1024 + 5, '\0');
  for (std::size_t i = 0; i < plaintext.size(); ++i)
    plaintext[i] = static_cast<char>(i * 131 + i / 7);
  const std::string pem =
      Pem(EncryptedDataDer(kCast5Oid, kIv, EncryptWith("CAST5-CBC", kKey, kIv, plaintext)), true);
  Result out = DecryptCopy(pem, kArmourPem);
  ASSERT_EQ(out.length, static_cast<std::ptrdiff_t>(plaintext.size()));
  EXPECT_TRUE(out.plaintext == plaintext);
}

}  // namespace
}  // namespace dovrel
