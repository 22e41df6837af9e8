#include "tests/support/loopback_peer.h"

#include <chrono>

#include "net/exchange.h"

namespace dovrel::test {

PeerConnection::~PeerConnection() { Close(); }

void PeerConnection::Close() {
  if (socket_ >= 0) peer_platform::CloseSocket(socket_);
  socket_ = -1;
}

bool PeerConnection::Send(const void* data, std::size_t length) {
  const char* bytes = static_cast<const char*>(data);
  while (length > 0) {
    int n = peer_platform::SendSome(socket_, bytes, length);
    if (n <= 0) return false;
    bytes += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

std::size_t PeerConnection::Read(void* buffer, std::size_t length, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char* bytes = static_cast<char*>(buffer);
  std::size_t have = 0;
  while (have < length) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) break;
    int n =
        peer_platform::ReceiveSome(socket_, bytes + have, length - have, static_cast<int>(left));
    if (n <= 0) break;
    have += static_cast<std::size_t>(n);
  }
  return have;
}

std::string PeerConnection::ReadRequest(int timeoutMs) {
  unsigned char head[kRequestHeadLength];
  if (Read(head, sizeof head, timeoutMs) != sizeof head || head[0] != '#') return {};
  std::uint32_t length = ReadBigEndian32(head + 1);
  if (length > (1u << 20)) return {};
  std::string document(length, '\0');
  if (Read(document.data(), length, timeoutMs) != length) return {};
  return document;
}

bool PeerConnection::SendLength(std::uint32_t announced) {
  const unsigned char head[4] = {
      static_cast<unsigned char>(announced >> 24), static_cast<unsigned char>(announced >> 16),
      static_cast<unsigned char>(announced >> 8), static_cast<unsigned char>(announced)};
  return Send(head, 4);
}

bool PeerConnection::SendReply(const std::string& document) {
  return SendLength(static_cast<std::uint32_t>(document.size())) && Send(document);
}

bool PeerConnection::ReadReceipt(int timeoutMs) {
  char marker[4];
  return Read(marker, 4, timeoutMs) == 4 && std::string(marker, 4) == kReceiptMarker;
}

bool PeerConnection::WaitClosed(int timeoutMs) {
  char byte;
  return peer_platform::ReceiveSome(socket_, &byte, 1, timeoutMs) == 0;
}

LoopbackPeer::LoopbackPeer(Handler handler) : handler_(std::move(handler)) {
  peer_platform::Start();
  listener_ = peer_platform::Listen(&port_);
  if (listener_ >= 0) thread_ = std::thread([this] { Serve(); });
}

LoopbackPeer::~LoopbackPeer() { Stop(); }

void LoopbackPeer::Stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) peer_platform::CloseSocket(listener_);
  listener_ = -1;
}

void LoopbackPeer::Serve() {
  // Connections already queued are still served after Stop(), so a test's
  // client never races the peer's shutdown.
  for (;;) {
    PeerSocket s = peer_platform::Accept(listener_, 50);
    if (s < 0) {
      if (stopping_) break;
      continue;
    }
    ++connections_;
    PeerConnection connection(s);
    handler_(connection);
  }
}

int UnusedLoopbackPort() {
  peer_platform::Start();
  int port = 0;
  PeerSocket s = peer_platform::Listen(&port);
  if (s >= 0) peer_platform::CloseSocket(s);
  return port;
}

}  // namespace dovrel::test
