#include "session/transport_security.h"

#include <gtest/gtest.h>

namespace dovrel {
namespace {

constexpr char kPin[] = "b87675feaad9fed2cb6a8de8685d8a405eefc4cae2598c50115a30f37ca92036";

struct TransportCase {
  bool build;
  const char* policy;  // the policy value's text
  bool option;
  const char* pins;
  Transport expected;
};

class TransportRule : public ::testing::TestWithParam<TransportCase> {};

TEST_P(TransportRule, AnySourceAsksForTlsNoneDropsItAndPinsMustJudgeIt) {
  const TransportCase& c = GetParam();
  EXPECT_EQ(
      DecideTransport(c.build, PolicyRequiresTls(c.policy), c.option, ParseServerPins(c.pins)),
      c.expected)
      << "build " << c.build << ", policy \"" << c.policy << "\", option " << c.option
      << ", pins \"" << c.pins << "\"";
}

constexpr auto kPlain = Transport::kPlain;
constexpr auto kTls = Transport::kTls;
constexpr auto kRefused = Transport::kRefusedWithoutPins;

INSTANTIATE_TEST_SUITE_P(
    Sources, TransportRule,
    ::testing::Values(
        TransportCase{false, "", false, kPin, kPlain},   // nobody asks
        TransportCase{false, "0", false, kPin, kPlain},  // the policy says no, and is no more
        TransportCase{false, "", false, "", kPlain},     // plain needs no pins
        TransportCase{true, "", false, kPin, kTls},      // the build alone
        TransportCase{false, "1", false, kPin, kTls},    // the policy alone
        TransportCase{false, "", true, kPin, kTls},      // the option alone
        TransportCase{true, "0", false, kPin, kTls},     // a policy of "0" cannot drop the build's
        TransportCase{true, "0", true, kPin, kTls},
        TransportCase{false, "unreadable", false, kPin, kTls},  // a damaged value asks
        TransportCase{false, "yes", true, kPin, kTls},
        TransportCase{true, "", false, "", kRefused},  // asked for, with nothing to judge it
        TransportCase{false, "1", false, "", kRefused},
        TransportCase{false, "", true, "", kRefused},
        // A list that names nothing usable is still a list: it refuses every
        // certificate at the handshake instead.
        TransportCase{false, "", true, "not a pin", kTls}));

// What every host is given: a TLS layer only with TLS, and no access that
// could go out in clear once TLS was asked for.
TEST(ServerAccess, CarriesATlsLayerExactlyWhenTlsRunsAndIsNotReadyWithoutPins) {
  const ServerAccess plain = MakeServerAccess(ParseServerPins(kPin), false, "bank.example");
  EXPECT_TRUE(plain.Ready());
  EXPECT_EQ(plain.With({}).tls, nullptr);

  const ServerAccess tls = MakeServerAccess(ParseServerPins(kPin), true, "bank.example");
  ASSERT_TRUE(tls.Ready());
  ASSERT_NE(tls.With({}).tls, nullptr);
  EXPECT_EQ(tls.tls->ServerName(), "bank.example");

  const ServerAccess unpinned = MakeServerAccess(ParseServerPins(""), true, "bank.example");
  EXPECT_EQ(unpinned.transport, Transport::kRefusedWithoutPins);
  EXPECT_FALSE(unpinned.Ready());
}

}  // namespace
}  // namespace dovrel
