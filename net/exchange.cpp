#include "net/exchange.h"

#include <algorithm>
#include <cstring>

#include "net/socket.h"
#include "net/wait_limits.h"

namespace dovrel {
namespace {

constexpr int kReadSize = 2048;

// Each wait of an Exchange: its own time-out, cut to what is left of the whole.
class Bound {
 public:
  explicit Bound(int overallMs) : deadline_(DeadlineAfter(MonotonicMs(), overallMs)) {}
  // 0 once the whole is out of time.
  int Wait(int stepMs) const { return TimeLeftMs(MonotonicMs(), deadline_, stepMs); }

 private:
  std::int64_t deadline_;
};

// Reads exactly four bytes of reply length; returns 1, or the failing read's 0 / -1.
int ReceiveLength(ClientSocket& socket, const Bound& bound, int timeoutMs, std::uint32_t* length) {
  unsigned char bytes[4];
  int have = 0;
  while (have < 4) {
    const int wait = bound.Wait(timeoutMs);
    if (wait == 0) return 0;
    int n = socket.Receive(bytes + have, 4 - have, wait);
    if (n <= 0) return n;
    have += n;
  }
  *length = ReadBigEndian32(bytes);
  return 1;
}

}  // namespace

void MakeRequestHead(std::uint32_t length, unsigned char head[kRequestHeadLength]) {
  head[0] = '#';
  head[1] = static_cast<unsigned char>(length >> 24);
  head[2] = static_cast<unsigned char>(length >> 16);
  head[3] = static_cast<unsigned char>(length >> 8);
  head[4] = static_cast<unsigned char>(length);
}

std::uint32_t ReadBigEndian32(const unsigned char bytes[4]) {
  return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
         static_cast<std::uint32_t>(bytes[2]) << 8 | static_cast<std::uint32_t>(bytes[3]);
}

int Exchange(const char* serverAddress, int port, const char* request, int requestLength,
             char* reply, std::size_t capacity, const ExchangeTimeouts& timeouts) {
  if (reply == nullptr || capacity == 0 || request == nullptr || requestLength < 0) return -1;
  reply[0] = '\0';
  std::uint32_t address = 0;
  if (!ParseIPv4(serverAddress, &address)) return -1;

  ClientSocket socket;
  socket.SetWaitHook(timeouts.hook);
  if (!socket.Connect(address, port, timeouts.connectMs)) return -1;
  const Bound bound(timeouts.overallMs);
  if (timeouts.tls != nullptr && !socket.StartTls(*timeouts.tls, bound.Wait(timeouts.connectMs)))
    return -1;

  unsigned char head[kRequestHeadLength];
  MakeRequestHead(static_cast<std::uint32_t>(requestLength), head);
  // A failed send shows up as a reply length that never arrives.
  socket.Send(head, kRequestHeadLength, bound.Wait(timeouts.sendMs));
  socket.Send(request, requestLength, bound.Wait(timeouts.sendMs));

  std::uint32_t declared = 0;
  int result = ReceiveLength(socket, bound, timeouts.replyLengthMs, &declared);
  if (result > 0) {
    // Keep room for the terminating zero; a longer reply arrives cut short.
    const std::size_t limit = std::min<std::size_t>(declared, capacity - 1);
    // An empty reply is complete at once: waiting for bytes that were never
    // announced would only stall the caller for the payload time-out.
    std::size_t received = 0;
    while (received < limit) {
      int room = static_cast<int>(std::min<std::size_t>(limit - received, kReadSize));
      const int wait = bound.Wait(timeouts.payloadMs);
      if (wait == 0) break;
      int n = socket.Receive(reply + received, room, wait);
      if (n <= 0) break;
      received += static_cast<std::size_t>(n);
    }
    reply[received] = '\0';
    result = static_cast<int>(std::min<std::size_t>(received, 0x7fffffff));
  }

  // Out of time, the marker still goes if the connection takes it at once.
  socket.Send(kReceiptMarker, kReceiptMarkerLength, bound.Wait(timeouts.sendMs));
  socket.Close();
  return result;
}

}  // namespace dovrel
