// The client's own PKCS#7 helpers against the server: the certificate it
// reads, the envelope it seals and the files it decrypts.

#include <gtest/gtest.h>

#include <openssl/rand.h>

#include <cstring>
#include <string>
#include <vector>

#include "server/file_server.h"
#include "pkcs7/crypto_init.h"
#include "pkcs7/pkcs7.h"
#include "tests/server/server_test_support.h"

namespace dovrel::server::test {
namespace {

TEST(ServerClientInteropTest, TheClientsHelpersOpenWhatTheServerSends) {
  ASSERT_TRUE(dovrel::EnsureCryptoProviders());
  TempFolder folder;
  std::string binary(1024 * 1024, '\0');
  RAND_bytes(reinterpret_cast<unsigned char*>(binary.data()), static_cast<int>(binary.size()));
  folder.Write("20240102/report.txt", "line one\nline two\n");
  folder.Write("20240102/empty.dat", "");
  folder.Write("20240102/big.bin", binary);
  std::unique_ptr<FileServer> server;
  ASSERT_TRUE(Started(TestOptions(folder.Text()), &server));

  // INIT and the certificate, in the client's buffer sizes.
  const std::string init = Call(server->Port(), InitRequest()).reply;
  const std::string signedData = ElementOf(init, "SERVER_SIGNED_DATA").value_or("");
  const std::string skey = ElementOf(init, "SKEY").value_or("");
  ASSERT_LT(signedData.size(), 3072u);
  char name[256] = {};
  char certificate[3072] = {};
  CryptoErrorRecord record{};
  ASSERT_EQ(ReadServerCertificate(signedData.c_str(), signedData.size(), name, sizeof name,
                                  certificate, sizeof certificate, &record),
            0)
      << record.message;
  EXPECT_STREQ(name, "CN=dovrel-fileserver");

  // The Key text sealed by the client and accepted by the server.
  const SessionKeys keys = RandomKeys();
  const std::string keyText = KeyText(keys);
  ASSERT_EQ(keyText.size(), 71u);
  char envelope[5120] = {};
  ASSERT_GT(SealEnvelope(certificate, keyText.c_str(), keyText.size(), envelope, sizeof envelope,
                         kArmourPem, &record),
            0)
      << record.message;
  const std::string exchange = Call(server->Port(), Request({{"SERVICE_CODE", "KEYEXCHG"},
                                                             {"SKEY", skey.c_str()},
                                                             {"ENVELOP_DATA", envelope}}))
                                   .reply;
  ASSERT_EQ(ElementOf(exchange, "RESULT_CODE"), std::optional<std::string>("0000")) << exchange;

  for (const auto& [file, contents] : std::vector<std::pair<std::string, std::string>>{
           {"report.txt", "line one\nline two\n"}, {"empty.dat", ""}, {"big.bin", binary}}) {
    const std::string get = Call(server->Port(), Request({{"SERVICE_CODE", "GET"},
                                                          {"SKEY", skey.c_str()},
                                                          {"USERID", "u01"},
                                                          {"FILE_NAME", file.c_str()}}))
                                .reply;
    const std::string encData = ElementOf(get, "ENC_DATA").value_or("");
    std::vector<unsigned char> plain(encData.size());
    const std::ptrdiff_t n = DecryptEncryptedData(
        encData.data(), encData.size(), kArmourPem, keys.key.data(), keys.key.size(),
        keys.iv.data(), keys.iv.size(), plain.data(), plain.size(), &record);
    ASSERT_GT(n, 0) << file << ": " << record.message;
    const std::string expected =
        "file_size=" + std::to_string(contents.size()) + "&file_contents=" + contents;
    EXPECT_TRUE(std::string(plain.begin(), plain.begin() + n) == expected) << file;
  }
}

}  // namespace
}  // namespace dovrel::server::test
