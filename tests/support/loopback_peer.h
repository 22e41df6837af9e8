#pragma once
// A scripted TCP peer on 127.0.0.1 for tests: it accepts connections on a port
// of its own and runs a handler for each, on a thread of its own, until stopped.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace dovrel::test {

using PeerSocket = std::intptr_t;

class PeerConnection {
 public:
  explicit PeerConnection(PeerSocket s) : socket_(s) {}
  ~PeerConnection();
  PeerConnection(const PeerConnection&) = delete;
  PeerConnection& operator=(const PeerConnection&) = delete;

  bool Send(const void* data, std::size_t length);
  bool Send(const std::string& text) { return Send(text.data(), text.size()); }
  // Reads up to `length` bytes, waiting at most `timeoutMs` in all; returns the count.
  std::size_t Read(void* buffer, std::size_t length, int timeoutMs);
  // Reads one request frame ("#", 4-byte length, document); empty on failure.
  std::string ReadRequest(int timeoutMs = 5000);
  // Sends a reply frame's 4-byte big-endian length alone.
  bool SendLength(std::uint32_t announced);
  // Sends a reply frame: its length, then the document.
  bool SendReply(const std::string& document);
  // True when the peer sent the receipt marker "@@@@".
  bool ReadReceipt(int timeoutMs = 5000);
  // True when the other side has closed (reads end) within the time-out.
  bool WaitClosed(int timeoutMs);
  void Close();

 private:
  PeerSocket socket_;
};

class LoopbackPeer {
 public:
  using Handler = std::function<void(PeerConnection&)>;
  // Starts listening on 127.0.0.1 with a free port; handler runs per connection.
  explicit LoopbackPeer(Handler handler);
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  bool Listening() const { return listener_ >= 0; }
  int Port() const { return port_; }
  int Connections() const { return connections_.load(); }
  void Stop();

 private:
  void Serve();

  Handler handler_;
  PeerSocket listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens (bound, then released).
int UnusedLoopbackPort();

namespace peer_platform {
bool Start();
PeerSocket Listen(int* port);                           // -1 on failure
PeerSocket Accept(PeerSocket listener, int timeoutMs);  // -1 on time-out or failure
int SendSome(PeerSocket s, const void* data, std::size_t length);
int ReceiveSome(PeerSocket s, void* buffer, std::size_t length,
                int timeoutMs);  // 0 closed, -1 time-out/error
void CloseSocket(PeerSocket s);
}  // namespace peer_platform

}  // namespace dovrel::test
