// The helpers against an independent PKCS#7 implementation: the openssl
// command-line tool. Skipped where the tool is absent (Windows, Wine).

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "pkcs7/pkcs7.h"
#include "session/random_source.h"
#include "tests/support/temp_folder.h"
#include "tests/pkcs7/test_certificates.h"

namespace dovrel {
namespace {

using test::ContentInfoBody;
using test::Der;
using test::DerElement;
using test::ObjectIdentifierDer;
using test::ReadDerElement;

const char kProviders[] = " -provider legacy -provider default";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 0x0F];
  }
  return out;
}

class OpensslCli : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "the openssl tool is not used on Windows";
#else
    static const bool present = std::system("openssl version >/dev/null 2>&1") == 0;
    if (!present) GTEST_SKIP() << "no openssl command-line tool";
    ASSERT_TRUE(folder_.Ok());
#endif
  }

  // Runs a command in the scratch folder; its error output goes to the log.
  bool Run(const std::string& command) {
    std::string line = "cd '" + folder_.Path().string() + "' && " + command + " 2>errors.txt";
    if (std::system(line.c_str()) == 0) return true;
    ADD_FAILURE() << command << "\n" << ReadFile(folder_.File("errors.txt"));
    return false;
  }

  // A self-signed certificate and its key, as `name`.pem and `name`.key.
  bool MakeCertificate(const std::string& name, const char* keyOptions) {
    return Run("openssl req -x509 " + std::string(keyOptions) + " -nodes -keyout " + name +
               ".key -out " + name + ".pem -subj /CN=" + name + " -days 1");
  }

  std::string File(const std::string& name) const { return folder_.File(name); }

  test::TempFolder folder_;
};

TEST_F(OpensslCli, OpensTheEnvelopeWithTheRecipientsKey) {
  ASSERT_TRUE(MakeCertificate("server", "-newkey rsa:2048"));
  unsigned char key[kSessionKeySize] = {0x00, 0x0a, 0xff, 0x10, 1, 2,  3,  4,
                                        5,    6,    7,    8,    9, 10, 11, 12};
  unsigned char iv[kInitVectorSize] = {0xde, 0xad, 0xbe, 0xef, 0, 1, 2, 3};
  char keyText[1024];
  ASSERT_EQ(FormatKeyText(key, iv, keyText, sizeof keyText), 71);
  std::string certificate = ReadFile(File("server.pem"));
  char envelope[5120];
  CryptoErrorRecord record{};
  std::ptrdiff_t length = SealEnvelope(certificate.c_str(), keyText, 71, envelope, sizeof envelope,
                                       kArmourDer, &record);
  ASSERT_GT(length, 0) << record.message << record.place;
  // openssl reads ContentInfo: wrap the body in one of type enveloped-data.
  WriteFile(File("envelope.der"),
            test::WrapInContentInfo("1.2.840.113549.1.7.3",
                                    std::string(envelope, static_cast<std::size_t>(length))));
  ASSERT_TRUE(Run(std::string("openssl cms -decrypt -inform DER -in envelope.der -inkey server.key"
                              " -recip server.pem -out key.txt") +
                  kProviders));
  EXPECT_EQ(ReadFile(File("key.txt")), keyText);
}

TEST_F(OpensslCli, DecryptsContentEncryptedByOpensslEnc) {
  const std::string key = "\x01\x23\x45\x67\x89\xab\xcd\xef\xfe\xdc\xba\x98\x76\x54\x32\x10";
  const std::string iv = "\x11\x22\x33\x44\x55\x66\x77\x88";
  const std::string plaintext = "file_size=11&file_contents=hello world";
  WriteFile(File("plain.bin"), plaintext);
  ASSERT_TRUE(Run("openssl enc -cast5-cbc -K " + Hex(key) + " -iv " + Hex(iv) +
                  " -in plain.bin -out cipher.bin" + kProviders));
  std::string body = Der(
      0x30,
      Der(0x02, std::string(1, '\0')) +
          Der(0x30, ObjectIdentifierDer("1.2.840.113549.1.7.1") +
                        Der(0x30, ObjectIdentifierDer("1.2.840.113533.7.66.10") + Der(0x04, iv)) +
                        Der(0x80, ReadFile(File("cipher.bin")))));
  std::string pem = test::PemArmour(kEncryptedDataLabel, body);
  unsigned char output[256];
  CryptoErrorRecord record{};
  std::ptrdiff_t length = DecryptEncryptedData(
      pem.data(), pem.size(), kArmourPem, reinterpret_cast<const unsigned char*>(key.data()), 16,
      reinterpret_cast<const unsigned char*>(iv.data()), 8, output, sizeof output, &record);
  ASSERT_GT(length, 0) << record.message << record.place;
  EXPECT_EQ(std::string(reinterpret_cast<char*>(output), static_cast<std::size_t>(length)),
            plaintext);
}

TEST_F(OpensslCli, DecryptsEncryptedDataMadeByOpensslCms) {
  const std::string key = "\x0f\x1e\x2d\x3c\x4b\x5a\x69\x78\x87\x96\xa5\xb4\xc3\xd2\xe1\xf0";
  const std::string plaintext(1000, 'z');
  WriteFile(File("plain.bin"), plaintext);
  ASSERT_TRUE(
      Run("openssl cms -EncryptedData_encrypt -in plain.bin -outform DER -out data.der"
          " -cast5-cbc -secretkey " +
          Hex(key) + kProviders));
  std::string body = ContentInfoBody(ReadFile(File("data.der")));
  // openssl drew its own vector and announced it in the algorithm identifier;
  // the session's vector is that one here.
  DerElement data, version, info, type, algorithm, oid, iv;
  ASSERT_TRUE(ReadDerElement(body, 0, &data) &&
              ReadDerElement(body, data.contentOffset, &version) &&
              ReadDerElement(body, version.next, &info) &&
              ReadDerElement(body, info.contentOffset, &type) &&
              ReadDerElement(body, type.next, &algorithm) &&
              ReadDerElement(body, algorithm.contentOffset, &oid) &&
              ReadDerElement(body, oid.next, &iv) && iv.tag == 0x04 && iv.contentLength == 8);
  const std::string vector = body.substr(iv.contentOffset, iv.contentLength);
  std::string pem = test::PemArmour(kEncryptedDataLabel, body);
  std::string output(pem.size(), '\0');
  CryptoErrorRecord record{};
  std::ptrdiff_t length = DecryptEncryptedData(
      pem.data(), pem.size(), kArmourPem, reinterpret_cast<const unsigned char*>(key.data()), 16,
      reinterpret_cast<const unsigned char*>(vector.data()), 8,
      reinterpret_cast<unsigned char*>(output.data()), output.size(), &record);
  ASSERT_EQ(length, 1000) << record.message << record.place;
  EXPECT_EQ(output.substr(0, 1000), plaintext);
}

TEST_F(OpensslCli, ExtractsTheLastCertificateOfOpensslSignedData) {
  ASSERT_TRUE(MakeCertificate("first", "-newkey ec -pkeyopt ec_paramgen_curve:P-256"));
  ASSERT_TRUE(MakeCertificate("last", "-newkey ec -pkeyopt ec_paramgen_curve:P-256"));
  ASSERT_TRUE(
      Run("openssl crl2pkcs7 -nocrl -certfile first.pem -certfile last.pem -outform DER"
          " -out signed.der"));
  std::string body = ContentInfoBody(ReadFile(File("signed.der")));
  std::string expected = ReadFile(File("last.pem"));
  for (int armour : {kArmourDer, kArmourPem}) {
    SCOPED_TRACE(armour);
    std::string data = armour == kArmourDer ? body : test::PemArmour(kSignedDataLabel, body);
    char certificate[3072];
    CryptoErrorRecord record{};
    std::ptrdiff_t length = ExtractCertificate(data.data(), data.size(), armour, certificate,
                                               sizeof certificate, &record);
    ASSERT_GT(length, 0) << record.message << record.place;
    EXPECT_EQ(std::string(certificate, static_cast<std::size_t>(length)), expected);
  }
}

}  // namespace
}  // namespace dovrel
