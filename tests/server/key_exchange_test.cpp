// KEYEXCHG refusals tell a client nothing about why: every one gets the same
// reply, with no library text in it, and an unknown SKEY is refused before
// the envelope is opened.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <openssl/pkcs7.h>

#include "server/file_server.h"
#include "server/key_envelope.h"
#include "server/pem_block.h"
#include "tests/server/server_test_support.h"

namespace dovrel::server::test {
namespace {

// An envelope of `plaintext` whose last content block decrypts to a bad
// padding: the last byte of the block before it is changed, which changes the
// padding byte (0x01 for a 71-byte Key text) to 0x54.
std::string SealWithBadPadding(X509* certificate, const std::string& plaintext) {
  UniquePtr<PKCS7> envelope = EnvelopeForServer(certificate, plaintext);
  if (!envelope) return {};
  ASN1_OCTET_STRING* sealed = envelope->d.enveloped->enc_data->enc_data;
  std::string bytes(reinterpret_cast<const char*>(ASN1_STRING_get0_data(sealed)),
                    static_cast<std::size_t>(ASN1_STRING_length(sealed)));
  if (bytes.size() < 16) return {};
  bytes[bytes.size() - 9] ^= 0x55;
  if (ASN1_OCTET_STRING_set(sealed, reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(bytes.size())) != 1)
    return {};
  return WritePemBlock(kEnvelopedDataLabel, envelope->d.enveloped, i2d_PKCS7_ENVELOPE);
}

class ServerKeyExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Started(TestOptions(folder_.Text(), &warnings_), &server_));
    skey_ = ElementOf(Call(server_->Port(), InitRequest()).reply, "SKEY").value_or("");
    ASSERT_FALSE(skey_.empty());
  }

  std::string KeyExchange(const std::string& skey, const std::string& envelope) {
    return Call(server_->Port(), Request({{"SERVICE_CODE", "KEYEXCHG"},
                                          {"SKEY", skey.c_str()},
                                          {"ENVELOP_DATA", envelope.c_str()}}))
        .reply;
  }

  X509* Certificate() const { return server_->Credentials().certificate.get(); }

  TempFolder folder_;
  WarningLog warnings_;
  std::unique_ptr<FileServer> server_;
  std::string skey_;
};

TEST_F(ServerKeyExchangeTest, EveryRefusalGetsTheSameReplyWithoutLibraryText) {
  const std::string keyText = KeyText(RandomKeys());
  const std::string badPadding = SealWithBadPadding(Certificate(), keyText);
  const std::string wrongContent = SealForServer(Certificate(), "sessionkey=00&initvector=11");
  const std::string good = SealForServer(Certificate(), keyText);
  ASSERT_FALSE(badPadding.empty());
  ASSERT_FALSE(wrongContent.empty());

  const std::vector<std::string> replies = {
      KeyExchange(skey_, badPadding),
      KeyExchange(skey_, wrongContent),
      KeyExchange("00000000000000000000000000000000", good),
      KeyExchange(skey_, "not an envelope"),
      Call(server_->Port(), Request({{"SERVICE_CODE", "KEYEXCHG"}, {"SKEY", skey_.c_str()}})).reply,
  };
  for (const std::string& reply : replies) {
    EXPECT_EQ(reply, replies[0]);
    EXPECT_NE(ParseLeadingInteger(ElementOf(reply, "RESULT_CODE").value_or("0").c_str()), 0);
    EXPECT_FALSE(ElementOf(reply, "RESULT_MSG").value_or("").empty());
    for (const char* libraryWord : {"error:", "routines", "decrypt", "envelope", "EVP", "PKCS7"})
      EXPECT_EQ(reply.find(libraryWord), std::string::npos) << libraryWord << " in " << reply;
  }
  // The session is still there for a proper envelope.
  EXPECT_EQ(ElementOf(KeyExchange(skey_, good), "RESULT_CODE"), std::optional<std::string>("0000"));
}

TEST_F(ServerKeyExchangeTest, AnUnknownSessionIsRefusedBeforeTheEnvelopeIsOpened) {
  const std::string badPadding = SealWithBadPadding(Certificate(), KeyText(RandomKeys()));
  KeyExchange("unknown-session", badPadding);
  ASSERT_TRUE(server_->WaitIdle(3000));
  EXPECT_TRUE(warnings_.Contains("unknown or expired session"));
  for (const std::string& line : warnings_.Lines())
    EXPECT_EQ(line.find("envelope"), std::string::npos) << line;
}

}  // namespace
}  // namespace dovrel::server::test
