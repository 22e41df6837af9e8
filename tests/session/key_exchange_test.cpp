#include "session/key_exchange.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/loopback_peer.h"
#include "tests/support/test_server.h"
#include "tests/session/recording_hosts.h"
#include "base/message_box.h"

#ifndef _WIN32
#include "server/file_server.h"
#include "pkcs7/certificate_fingerprints.h"
#include "tests/pkcs7/test_certificates.h"
#endif

namespace dovrel {
namespace {

using test::RecordingSessionHost;
using test::TestServer;

ReceiveParameters ParametersFor(int port) {
  ReceiveParameters parameters;
  std::strcpy(parameters.serverAddress, "127.0.0.1");
  parameters.serverPort = port;
  return parameters;
}

struct Outcome {
  KeyExchangeResult result;
  RecordingSessionHost host;
  SessionKeys keys;
};

void Open(int port, Outcome* outcome, ExchangeTimeouts timeouts = {3000, 3000, 3000, 3000},
          const ServerPins& pins = {}) {
  outcome->result =
      OpenSecureSession(ParametersFor(port), &outcome->keys, outcome->host, timeouts, pins);
}

bool AllZero(const unsigned char* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

TEST(KeyExchange, OpensASessionWithTheReferenceServer) {
  TestServer server("plain");
  ASSERT_TRUE(server.Ready()) << server.Error();
  Outcome outcome;
  Open(server.Port(), &outcome);
  EXPECT_EQ(outcome.result, KeyExchangeResult::kOpened);
  EXPECT_EQ(outcome.host.events,
            (std::vector<std::string>{std::string("start:") + kPreparingText, "stop"}));
  EXPECT_GT(std::strlen(outcome.keys.skey), 0u);
  EXPECT_FALSE(AllZero(outcome.keys.sessionKey, sizeof outcome.keys.sessionKey));
  EXPECT_FALSE(AllZero(outcome.keys.initVector, sizeof outcome.keys.initVector));

#ifndef _WIN32
  // The server holds exactly the keys this side drew for that SKEY.
  auto requests = server.InProcess()->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].service, "INIT");
  EXPECT_EQ(requests[1].service, "KEYEXCHG");
  EXPECT_EQ(requests[1].Element("SKEY"), outcome.keys.skey);
  EXPECT_EQ(requests[1].Element("ENVELOP_DATA").rfind("-----BEGIN PKCS7 ENVELOPED DATA-----\n", 0),
            0u);
  EXPECT_EQ(server.InProcess()->SessionCount(), 1u);
#endif
}

TEST(KeyExchange, TwoSessionsNeverShareKeys) {
  TestServer server("plain");
  ASSERT_TRUE(server.Ready()) << server.Error();
  Outcome first, second;
  Open(server.Port(), &first);
  Open(server.Port(), &second);
  ASSERT_EQ(first.result, KeyExchangeResult::kOpened);
  ASSERT_EQ(second.result, KeyExchangeResult::kOpened);
  EXPECT_STRNE(first.keys.skey, second.keys.skey);
  EXPECT_NE(std::memcmp(first.keys.sessionKey, second.keys.sessionKey, kSessionKeySize), 0);
}

struct FailureCase {
  const char* scenario;
  KeyExchangeResult result;
  const char* message;  // null: the failure is not shown
};

class KeyExchangeFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(KeyExchangeFailure, StopsThePopupThenShowsItsMessage) {
  const FailureCase& c = GetParam();
  TestServer server(c.scenario);
  ASSERT_TRUE(server.Ready()) << server.Error();
  Outcome outcome;
  Open(server.Port(), &outcome, {3000, 3000, 1000, 3000});
  EXPECT_EQ(outcome.result, c.result);
  std::vector<std::string> expected = {std::string("start:") + kPreparingText, "stop"};
  if (c.message != nullptr) expected.push_back("message");
  EXPECT_EQ(outcome.host.events, expected);
  if (c.message != nullptr) {
    ASSERT_EQ(outcome.host.messages.size(), 1u);
    EXPECT_EQ(outcome.host.messages[0].text, c.message);
    EXPECT_EQ(outcome.host.messages[0].caption, kCaptionNotice);
    EXPECT_EQ(outcome.host.messages[0].flags, kMbOk | kMbTopmost | kMbSetForeground);
  }
}

INSTANTIATE_TEST_SUITE_P(
    ServerFaults, KeyExchangeFailure,
    ::testing::Values(FailureCase{"no-skey", KeyExchangeResult::kNoSkey, kNoSkeyText},
                      FailureCase{"no-signed-data", KeyExchangeResult::kNoSignedData,
                                  kKeyExchangeNoSignedDataText},
                      FailureCase{"bad-signed-data", KeyExchangeResult::kCryptoFailed, nullptr},
                      FailureCase{"no-keyexchg-result", KeyExchangeResult::kNoResultCode,
                                  kKeyExchangeNoResultCodeText},
                      // A reply length that never comes reads as an empty reply: SKEY is missing.
                      FailureCase{"init-silent", KeyExchangeResult::kNoSkey, kNoSkeyText},
                      // Any RESULT_CODE opens the session, an error code or an empty one too.
                      FailureCase{"keyexchg-error-code", KeyExchangeResult::kOpened, nullptr},
                      FailureCase{"keyexchg-empty-result", KeyExchangeResult::kOpened, nullptr}),
    [](const ::testing::TestParamInfo<FailureCase>& param) {
      std::string name = param.param.scenario;
      for (char& c : name) {
        if (c == '-') c = '_';
      }
      return name;
    });

#ifndef _WIN32
TEST(KeyExchange, APinnedServerOpensItsSession) {
  TestServer server("plain");
  ASSERT_TRUE(server.Ready()) << server.Error();
  const std::string own = server.Pins();
  for (const std::string& pin : {own.substr(0, own.find(';')), own.substr(own.find(';') + 1)}) {
    Outcome outcome;
    Open(server.Port(), &outcome, {3000, 3000, 3000, 3000}, ParseServerPins(pin));
    EXPECT_EQ(outcome.result, KeyExchangeResult::kOpened) << pin;
  }
  EXPECT_EQ(server.CountRequests("KEYEXCHG"), 2);
}

TEST(KeyExchange, AnotherServersCertificateFailsBeforeTheKeyIsSent) {
  TestServer server("plain");
  ASSERT_TRUE(server.Ready()) << server.Error();
  CertificateFingerprints other;
  ASSERT_TRUE(FingerprintCertificate(test::SharedRsaIdentity().certificate.get(), &other));
  Outcome outcome;
  Open(server.Port(), &outcome, {3000, 3000, 3000, 3000},
       ParseServerPins(FormatFingerprint(other.certificate) + "," +
                       FormatFingerprint(other.publicKey)));
  // A key-exchange failure like any unusable certificate: no message of its own.
  EXPECT_EQ(outcome.result, KeyExchangeResult::kCryptoFailed);
  EXPECT_EQ(outcome.host.events,
            (std::vector<std::string>{std::string("start:") + kPreparingText, "stop"}));
  EXPECT_TRUE(outcome.host.messages.empty());
  EXPECT_EQ(server.CountRequests("INIT"), 1);
  EXPECT_EQ(server.CountRequests("KEYEXCHG"), 0);
  EXPECT_EQ(server.InProcess()->Requests().size(), 1u);
}
#endif

TEST(KeyExchange, NoServerGivesTheConnectionMessage) {
  Outcome outcome;
  Open(test::UnusedLoopbackPort(), &outcome);
  EXPECT_EQ(outcome.result, KeyExchangeResult::kNoConnection);
  ASSERT_EQ(outcome.host.messages.size(), 1u);
  EXPECT_EQ(outcome.host.messages[0].text, kNoConnectionText);
  EXPECT_EQ(outcome.host.events.back(), "message");
}

TEST(KeyExchange, AnEmptySkeyIsAcceptedAndEchoedEmpty) {
  TestServer server("empty-skey");
  ASSERT_TRUE(server.Ready()) << server.Error();
  Outcome outcome;
  std::memset(outcome.keys.skey, 'x', sizeof outcome.keys.skey - 1);  // must be cleared
  Open(server.Port(), &outcome);
  EXPECT_EQ(outcome.result, KeyExchangeResult::kOpened);
  EXPECT_STREQ(outcome.keys.skey, "");
  EXPECT_TRUE(outcome.host.messages.empty());
#ifndef _WIN32
  auto requests = server.InProcess()->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[1].Has("SKEY"));
  EXPECT_EQ(requests[1].Element("SKEY"), "");
#endif
}

TEST(KeyExchange, AnOverlongSkeyIsRefusedLikeAMissingOne) {
  test::LoopbackPeer peer([](test::PeerConnection& c) {
    c.ReadRequest();
    c.SendReply("<SKEY>" + std::string(200, 'k') +
                "</SKEY><SERVER_SIGNED_DATA>x</SERVER_SIGNED_DATA>");
    c.ReadReceipt();
  });
  ASSERT_TRUE(peer.Listening());
  Outcome outcome;
  Open(peer.Port(), &outcome);
  EXPECT_EQ(outcome.result, KeyExchangeResult::kNoSkey);
  EXPECT_EQ(std::strlen(outcome.keys.skey), 0u);
}

}  // namespace
}  // namespace dovrel
