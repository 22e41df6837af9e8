// What one client can take from the server: a connection ends at its
// deadline however slowly it is read, an INIT flood leaves keyed sessions
// alone, and refused connections do not flood the warnings.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <openssl/rand.h>

#include "base/unique_handles_posix.h"
#include "net/socket.h"
#include "server/file_server.h"
#include "tests/server/server_test_support.h"

namespace dovrel::server::test {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

// A client with a small receive buffer that sends one request and then
// reads 1024 bytes every 100 ms on a thread of its own, until the server
// closes or the client is stopped.
class SlowReader {
 public:
  bool Start(int port, const std::string& document) {
    socket_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int small = 4096;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(0x7F000001);
    if (!socket_ || setsockopt(socket_.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small) != 0 ||
        connect(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
      return false;
    const std::string frame = RequestFrame(document);
    if (send(socket_.get(), frame.data(), frame.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(frame.size()))
      return false;
    reader_ = std::thread([this] {
      char buffer[1024];
      while (!stop_.load()) {
        const ssize_t n = recv(socket_.get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) break;
        if (n > 0) received_ += static_cast<std::size_t>(n);
        std::this_thread::sleep_for(milliseconds(100));
      }
    });
    return true;
  }
  ~SlowReader() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
  }
  std::size_t Received() const { return received_.load(); }

 private:
  unique_fd socket_;
  std::thread reader_;
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> received_{0};
};

TEST(ServerLimitsTest, ASlowReaderIsCutOffAtTheConnectionDeadline) {
  TempFolder folder;
  std::string big(24 * 1024 * 1024, '\0');
  RAND_bytes(reinterpret_cast<unsigned char*>(big.data()), static_cast<int>(big.size()));
  folder.Write("20240102/big.bin", big);
  FileServerOptions options = TestOptions(folder.Text());
  options.connectionLimitMs = 1500;
  std::unique_ptr<FileServer> server;
  ASSERT_TRUE(Started(options, &server));
  std::string problem;
  const std::optional<OpenedSession> session = OpenSession(server->Port(), &problem);
  ASSERT_TRUE(session) << problem;
  ASSERT_TRUE(server->WaitIdle(3000));

  SlowReader reader;
  const auto start = SteadyClock::now();
  ASSERT_TRUE(reader.Start(server->Port(), Request({{"SERVICE_CODE", "GET"},
                                                    {"SKEY", session->skey.c_str()},
                                                    {"USERID", "u01"},
                                                    {"FILE_NAME", "big.bin"}})));
  for (int i = 0; i < 200 && server->CountRequests("GET") == 0; ++i)
    std::this_thread::sleep_for(milliseconds(10));
  ASSERT_EQ(server->CountRequests("GET"), 1u);
  // Each wait for room is short (the reader reads every 100 ms), yet the
  // whole reply would take hours: only the deadline ends it.
  EXPECT_TRUE(server->WaitIdle(6000)) << "still open after 6 s";
  EXPECT_GE(SteadyClock::now() - start, milliseconds(1400));
  EXPECT_GT(reader.Received(), 0u);
}

TEST(ServerLimitsTest, AFloodOfInitsLeavesAKeyedSessionAlone) {
  TempFolder folder;
  folder.Write("20240102/a.txt", "a");
  FileServerOptions options = TestOptions(folder.Text());
  options.maxSessions = 4;
  std::unique_ptr<FileServer> server;
  ASSERT_TRUE(Started(options, &server));
  std::string problem;
  const std::optional<OpenedSession> session = OpenSession(server->Port(), &problem);
  ASSERT_TRUE(session) << problem;
  for (int i = 0; i < 40; ++i)
    EXPECT_EQ(ElementOf(Call(server->Port(), InitRequest()).reply, "RESULT_CODE"),
              std::optional<std::string>("0000"));
  EXPECT_LE(server->SessionCount(), 4u);
  EXPECT_TRUE(GetFile(server->Port(), *session, "a.txt", &problem)) << problem;
}

// A connection to 127.0.0.1:port made from `source`, another loopback address.
unique_fd ConnectFrom(std::uint32_t source, int port) {
  unique_fd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(source);
  if (!socket || bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address))
    return unique_fd();
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(0x7F000001);
  if (connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    return unique_fd();
  return socket;
}

TEST(ServerLimitsTest, APeerHoldsAtMostItsShareOfTheConnections) {
  TempFolder folder;
  WarningLog warnings;
  FileServerOptions options = TestOptions(folder.Text(), &warnings);
  options.maxConnections = 4;
  options.maxConnectionsPerPeer = 2;
  std::unique_ptr<FileServer> server;
  ASSERT_TRUE(Started(options, &server));
  ClientSocket first, second, third;
  ASSERT_TRUE(first.Connect(0x7F000001, server->Port(), 2000));
  ASSERT_TRUE(second.Connect(0x7F000001, server->Port(), 2000));
  ASSERT_TRUE(third.Connect(0x7F000001, server->Port(), 2000));
  char byte;
  EXPECT_EQ(third.Receive(&byte, 1, 2000), -1) << "closed unserved";
  EXPECT_TRUE(warnings.Contains("too many connections from one address"));

  const unique_fd other = ConnectFrom(0x7F000002, server->Port());
  ASSERT_TRUE(other);
  const std::string frame = RequestFrame(InitRequest());
  ASSERT_EQ(send(other.get(), frame.data(), frame.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(frame.size()));
  EXPECT_EQ(recv(other.get(), &byte, 1, MSG_WAITALL), 1) << "served";
}

// The connections one warning line stands for: "one was" or "N were".
int RefusalsIn(const std::string& line) {
  if (line.find("one was closed") != std::string::npos) return 1;
  const std::size_t were = line.find(" were closed");
  if (were == std::string::npos) return 0;
  const std::size_t start = line.rfind(' ', were - 1);
  return static_cast<int>(std::strtol(line.c_str() + start + 1, nullptr, 10));
}

TEST(ServerLimitsTest, RefusedConnectionsAreWarnedOfAtMostOnceASecond) {
  TempFolder folder;
  WarningLog warnings;
  FileServerOptions options = TestOptions(folder.Text(), &warnings);
  options.maxConnections = 1;
  std::unique_ptr<FileServer> server;
  ASSERT_TRUE(Started(options, &server));
  ClientSocket holder;
  ASSERT_TRUE(holder.Connect(0x7F000001, server->Port(), 2000));
  std::this_thread::sleep_for(milliseconds(200));  // accepted and served meanwhile

  constexpr int kRefused = 40;
  const auto start = SteadyClock::now();
  for (int i = 0; i < kRefused; ++i) {
    ClientSocket client;
    ASSERT_TRUE(client.Connect(0x7F000001, server->Port(), 2000));
    char byte;
    EXPECT_EQ(client.Receive(&byte, 1, 2000), -1) << "closed unserved";
  }
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(SteadyClock::now() - start).count();
  auto refusalLines = [&warnings] {
    std::vector<std::string> lines;
    for (const std::string& line : warnings.Lines())
      if (line.find("too many connections") != std::string::npos) lines.push_back(line);
    return lines;
  };
  EXPECT_LE(refusalLines().size(), static_cast<std::size_t>(seconds) + 2);

  // The count of those not yet told follows within about a second.
  std::this_thread::sleep_for(milliseconds(2500));
  int told = 0;
  for (const std::string& line : refusalLines()) told += RefusalsIn(line);
  EXPECT_EQ(told, kRefused);
}

}  // namespace
}  // namespace dovrel::server::test
