#include "net/exchange.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "net/message.h"
#include "tests/support/loopback_peer.h"

namespace dovrel {
namespace {

using test::LoopbackPeer;
using test::PeerConnection;
using Clock = std::chrono::steady_clock;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string LengthPrefix(std::uint32_t n) {
  return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
          static_cast<char>(n)};
}

// What the peer saw of one Exchange.
struct Seen {
  std::mutex lock;
  std::string request;
  bool receipt = false;
};

class ExchangeTest : public ::testing::Test {
 protected:
  int Run(const LoopbackPeer& peer, std::size_t capacity = sizeof reply_,
          const ExchangeTimeouts& timeouts = {2000, 2000, 2000, 2000}) {
    char request[5120];
    requestLength_ = BuildRequest({{"SERVICE_CODE", "INIT"}}, request, sizeof request);
    std::memset(reply_, 'x', sizeof reply_);
    return Exchange("127.0.0.1", peer.Port(), request, requestLength_, reply_, capacity, timeouts);
  }
  int requestLength_ = 0;
  char reply_[64];
};

TEST_F(ExchangeTest, ReadsAReplyThatArrivesInPiecesAndSendsTheReceipt) {
  Seen seen;
  LoopbackPeer peer([&](PeerConnection& c) {
    std::string request = c.ReadRequest();
    std::string prefix = LengthPrefix(12);
    c.Send(prefix.substr(0, 1));
    Sleep(50);
    c.Send(prefix.substr(1));
    for (const char* piece : {"<A>", "hello", "</A>"}) {
      Sleep(50);
      c.Send(piece);
    }
    bool receipt = c.ReadReceipt();
    std::lock_guard<std::mutex> hold(seen.lock);
    seen.request = request;
    seen.receipt = receipt;
  });
  ASSERT_TRUE(peer.Listening());
  EXPECT_EQ(Run(peer), 12);
  EXPECT_STREQ(reply_, "<A>hello</A>");
  peer.Stop();
  EXPECT_EQ(seen.request.size(), static_cast<std::size_t>(requestLength_));
  EXPECT_NE(seen.request.find("<SERVICE_CODE>INIT</SERVICE_CODE>"), std::string::npos);
  EXPECT_TRUE(seen.receipt);
}

TEST_F(ExchangeTest, AnEmptyReplyReturnsZeroAtOnce) {
  std::atomic<bool> receipt{false};
  LoopbackPeer peer([&](PeerConnection& c) {
    c.ReadRequest();
    c.SendReply("");
    receipt = c.ReadReceipt();
  });
  ASSERT_TRUE(peer.Listening());
  auto start = Clock::now();
  EXPECT_EQ(Run(peer), 0);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(),
            1000);
  EXPECT_STREQ(reply_, "");
  peer.Stop();
  EXPECT_TRUE(receipt);
}

TEST_F(ExchangeTest, APeerThatClosesWhileTheLengthIsAwaitedGivesMinusOne) {
  LoopbackPeer peer([](PeerConnection& c) {
    c.ReadRequest();
    c.Send(std::string("\0\0", 2));  // half a length prefix, then gone
    c.Close();
  });
  ASSERT_TRUE(peer.Listening());
  EXPECT_EQ(Run(peer), -1);
}

TEST_F(ExchangeTest, APeerThatSaysNothingGivesZeroAfterTheWaitAndStillGetsTheReceipt) {
  std::atomic<bool> receipt{false};
  LoopbackPeer peer([&](PeerConnection& c) {
    c.ReadRequest();
    receipt = c.ReadReceipt(5000);
  });
  ASSERT_TRUE(peer.Listening());
  auto start = Clock::now();
  EXPECT_EQ(Run(peer, sizeof reply_, {2000, 2000, 500, 2000}), 0);
  auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_GE(waited, 450);
  peer.Stop();
  EXPECT_TRUE(receipt);
}

TEST_F(ExchangeTest, APayloadThatStopsHalfWayGivesTheBytesReceived) {
  LoopbackPeer peer([](PeerConnection& c) {
    c.ReadRequest();
    c.Send(LengthPrefix(20) + "12345");
    c.ReadReceipt(5000);
  });
  ASSERT_TRUE(peer.Listening());
  EXPECT_EQ(Run(peer, sizeof reply_, {2000, 2000, 2000, 300}), 5);
  EXPECT_STREQ(reply_, "12345");
}

// Every read is in time, the whole is not: the bound counts from the connection.
TEST_F(ExchangeTest, AReplyThatTricklesEndsAtTheOverallBoundWithWhatHasArrived) {
  LoopbackPeer peer([](PeerConnection& c) {
    c.ReadRequest();
    Sleep(300);
    c.Send(LengthPrefix(40));
    for (int i = 0; i < 40; ++i) {
      Sleep(100);
      if (!c.Send("x")) return;
    }
  });
  ASSERT_TRUE(peer.Listening());
  auto start = Clock::now();
  const int result = Run(peer, sizeof reply_, {2000, 2000, 2000, 2000, 1000});
  auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_GE(waited, 950);
  EXPECT_LT(waited, 1800);
  EXPECT_GT(result, 0);
  EXPECT_LT(result, 12);
  EXPECT_EQ(std::string(reply_), std::string(static_cast<std::size_t>(result), 'x'));
}

TEST_F(ExchangeTest, TheOverallBoundAlsoEndsTheWaitForTheLength) {
  LoopbackPeer peer([](PeerConnection& c) {
    c.ReadRequest();
    for (char byte : LengthPrefix(4)) {  // each byte in time for its own read
      Sleep(400);
      if (!c.Send(std::string(1, byte))) return;
    }
    c.Send("abcd");
    c.ReadReceipt(5000);
  });
  ASSERT_TRUE(peer.Listening());
  auto start = Clock::now();
  EXPECT_EQ(Run(peer, sizeof reply_, {2000, 2000, 2000, 2000, 1000}), 0);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(),
            1500);
}

TEST_F(ExchangeTest, AReplyLongerThanTheBufferIsCutAndTerminated) {
  LoopbackPeer peer([](PeerConnection& c) {
    c.ReadRequest();
    c.SendReply(std::string(5000, 'r'));
    c.ReadReceipt(2000);
  });
  ASSERT_TRUE(peer.Listening());
  EXPECT_EQ(Run(peer, 16), 15);
  EXPECT_EQ(std::string(reply_), std::string(15, 'r'));
  EXPECT_EQ(reply_[16], 'x');  // nothing written past the given capacity
}

TEST_F(ExchangeTest, NoServerMeansNoConnectionAndMinusOne) {
  char reply[16];
  const char request[] = "x";
  EXPECT_EQ(Exchange("127.0.0.1", test::UnusedLoopbackPort(), request, 1, reply, sizeof reply), -1);
  EXPECT_EQ(Exchange("not an address", 41900, request, 1, reply, sizeof reply), -1);
}

}  // namespace
}  // namespace dovrel
