#include "net/socket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include "net/send_chunks.h"
#include "net/socket_platform.h"
#include "tests/support/loopback_peer.h"

namespace dovrel {
namespace {

using test::LoopbackPeer;
using test::PeerConnection;
using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kLoopback = 0x7F000001;
#ifdef _WIN32
constexpr int kConnectionRefused = 10061;  // WSAECONNREFUSED
#else
constexpr int kConnectionRefused = ECONNREFUSED;
#endif

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST(ClientSocket, StartsClosedWithNoError) {
  ClientSocket socket;
  EXPECT_EQ(socket.Handle(), kNoSocket);
  EXPECT_EQ(socket.LastError(), 0);
  EXPECT_EQ(socket.RemoteAddress(), 0u);
  EXPECT_EQ(socket.RemotePort(), 0);
  char byte;
  EXPECT_EQ(socket.Receive(&byte, 1, 0), -1);  // a closed object fails through the platform
}

TEST(ClientSocket, ConnectToAPortWhereNothingListensFailsPromptlyWithTheRefusal) {
  ClientSocket socket;
  int port = test::UnusedLoopbackPort();
  auto start = Clock::now();
  EXPECT_FALSE(socket.Connect(kLoopback, port, 10000));
  EXPECT_LT(MillisecondsSince(start), 3000);
  EXPECT_EQ(socket.LastError(), kConnectionRefused);
  EXPECT_EQ(socket.Handle(), kNoSocket);
  EXPECT_EQ(socket.RemotePort(), port);
}

TEST(ClientSocket, ConnectOnAConnectedObjectClosesTheOldConnectionFirst) {
  std::atomic<int> closedSeen{0};
  LoopbackPeer peer([&](PeerConnection& c) {
    if (c.WaitClosed(5000)) ++closedSeen;
  });
  ASSERT_TRUE(peer.Listening());
  ClientSocket socket;
  ASSERT_TRUE(socket.Connect(kLoopback, peer.Port(), 10000));
  NativeSocket first = socket.Handle();
  EXPECT_NE(first, kNoSocket);
  ASSERT_TRUE(socket.Connect(kLoopback, peer.Port(), 10000));
  socket.Close();
  peer.Stop();
  EXPECT_EQ(peer.Connections(), 2);
  EXPECT_EQ(closedSeen.load(), 2);
}

TEST(ClientSocket, ReceiveReportsDataTimeOutAndClosedPeerApart) {
  LoopbackPeer peer([](PeerConnection& c) {
    Sleep(300);
    c.Send("abc");
    Sleep(300);
    c.Close();
  });
  ASSERT_TRUE(peer.Listening());
  ClientSocket socket;
  ASSERT_TRUE(socket.Connect(kLoopback, peer.Port(), 10000));
  char buffer[16];

  auto start = Clock::now();
  EXPECT_EQ(socket.Receive(buffer, sizeof buffer, 0), 0);  // polls once
  EXPECT_EQ(socket.LastError(), kWaitTimedOut);
  EXPECT_LT(MillisecondsSince(start), 200);

  EXPECT_EQ(socket.Receive(buffer, sizeof buffer, -1), 3);  // no limit: waits for the data
  EXPECT_EQ(std::string(buffer, 3), "abc");
  EXPECT_EQ(socket.LastError(), 0);

  EXPECT_EQ(socket.Receive(buffer, sizeof buffer, 5000), -1);  // closed is -1, never 0
}

TEST(ClientSocket, AWaitOfFifteenHundredMillisecondsLastsThatLong) {
  LoopbackPeer peer([](PeerConnection& c) { c.WaitClosed(5000); });
  ASSERT_TRUE(peer.Listening());
  ClientSocket socket;
  ASSERT_TRUE(socket.Connect(kLoopback, peer.Port(), 10000));
  char buffer[4];
  auto start = Clock::now();
  EXPECT_EQ(socket.Receive(buffer, sizeof buffer, 1500), 0);
  long long waited = MillisecondsSince(start);
  EXPECT_GE(waited, 1450);
  EXPECT_LT(waited, 2500);
  EXPECT_EQ(socket.LastError(), kWaitTimedOut);
}

// Counts its slices and gives up after a number of them.
class CountingHook final : public WaitHook {
 public:
  CountingHook(int sliceMs, int giveUpAt) : sliceMs_(sliceMs), giveUpAt_(giveUpAt) {}
  int SliceMs() const override { return sliceMs_; }
  bool Continue() override { return ++calls < giveUpAt_; }
  int calls = 0;

 private:
  int sliceMs_;
  int giveUpAt_;
};

TEST(ClientSocket, AHookCutsWaitsIntoSlicesAndEndsThemLikeATimeOut) {
  std::atomic<bool> send{false};
  LoopbackPeer peer([&](PeerConnection& c) {
    while (!send) Sleep(10);
    c.Send("ab");
    c.WaitClosed(5000);
  });
  ASSERT_TRUE(peer.Listening());
  ClientSocket socket;
  CountingHook whole(100, 1000);
  socket.SetWaitHook(&whole);
  ASSERT_TRUE(socket.Connect(kLoopback, peer.Port(), 10000));
  char buffer[4];
  auto start = Clock::now();
  EXPECT_EQ(socket.Receive(buffer, sizeof buffer, 450), 0);
  EXPECT_GE(MillisecondsSince(start), 430);
  EXPECT_GE(whole.calls, 5);  // asked before each slice of at most 100 ms
  EXPECT_EQ(socket.LastError(), kWaitTimedOut);

  CountingHook givesUp(100, 3);
  socket.SetWaitHook(&givesUp);
  start = Clock::now();
  EXPECT_EQ(socket.Receive(buffer, sizeof buffer, 10000), 0);
  EXPECT_LT(MillisecondsSince(start), 1000);
  EXPECT_EQ(givesUp.calls, 3);
  EXPECT_EQ(socket.LastError(), kWaitTimedOut);

  // Given up, a wait still takes what is there at once.
  send = true;
  Sleep(200);
  EXPECT_EQ(socket.Receive(buffer, sizeof buffer, 10000), 2);
}

TEST(ClientSocket, SendsInChunksUntilEverythingIsOut) {
  std::string received;
  LoopbackPeer peer([&](PeerConnection& c) {
    received.resize(10000);
    received.resize(c.Read(received.data(), received.size(), 5000));
  });
  ASSERT_TRUE(peer.Listening());
  std::string data(10000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  ClientSocket socket;
  ASSERT_TRUE(socket.Connect(kLoopback, peer.Port(), 10000));
  EXPECT_EQ(socket.Send(data.data(), 0, 1000), 0);
  EXPECT_EQ(socket.Send(data.data(), static_cast<int>(data.size()), 10000), 10000);
  socket.Close();
  peer.Stop();
  EXPECT_EQ(received.size(), data.size());
  EXPECT_TRUE(received == data);
}

// Each wait and each chunk (size@offset) as Send makes them.
TEST(SendInChunks, WaitsBeforeEveryChunkOfAtMost4096Bytes) {
  struct {
    int length;
    int accepts;     // most bytes the platform takes per send
    int failedWait;  // that wait (1-based) times out; 0: none
    int failedSend;  // that send fails; 0: none
    const char* calls;
    int sent;
  } const cases[] = {
      {10000, 4096, 0, 0, "w 4096@0 w 4096@4096 w 1808@8192", 10000},
      {4096, 4096, 0, 0, "w 4096@0", 4096},
      {0, 4096, 0, 0, "", 0},
      {5000, 3000, 0, 0, "w 4096@0 w 2000@3000",
       5000},  // the next chunk starts where the send stopped
      {10000, 4096, 2, 0, "w 4096@0 w", 4096},
      {10000, 4096, 0, 2, "w 4096@0 w 4096@4096", 4096},
  };
  const std::string data(10000, 'd');
  for (const auto& c : cases) {
    std::string calls;
    int waits = 0, sends = 0;
    const int sent = SendInChunks(
        data.data(), c.length,
        [&] {
          calls += calls.empty() ? "w" : " w";
          return ++waits != c.failedWait;
        },
        [&](const char* chunk, int size) {
          calls += " " + std::to_string(size) + "@" + std::to_string(chunk - data.data());
          return ++sends == c.failedSend ? -1 : std::min(size, c.accepts);
        });
    EXPECT_EQ(calls, c.calls) << c.length;
    EXPECT_EQ(sent, c.sent) << c.length;
  }
}

// Only a connect that the platform has started is waited for: EAGAIN from a
// TCP connect on POSIX means that none was.
TEST(ClientSocket, WaitsOnlyForAConnectInProgress) {
#ifdef _WIN32
  // WSAEWOULDBLOCK, WSAEINPROGRESS, WSAECONNREFUSED
  const std::pair<int, bool> cases[] = {{10035, true}, {10036, false}, {10061, false}};
#else
  const std::pair<int, bool> cases[] = {
      {EINPROGRESS, true}, {EAGAIN, false}, {EWOULDBLOCK, false}, {ECONNREFUSED, false}};
#endif
  for (const auto& [error, waits] : cases)
    EXPECT_EQ(platform::IsConnectInProgress(error), waits) << error;
}

TEST(ParseIPv4, AcceptsDottedAddressesOnly) {
  std::uint32_t address = 0;
  EXPECT_TRUE(ParseIPv4("127.0.0.1", &address));
  EXPECT_EQ(address, kLoopback);
  EXPECT_FALSE(ParseIPv4("bank.example", &address));
  EXPECT_FALSE(ParseIPv4(nullptr, &address));
}

}  // namespace
}  // namespace dovrel
