#pragma once
// One framed round trip with the file server on a connection of its own:
//   request: "#", 4-byte big-endian length, the document;
//   reply:   4-byte big-endian length, the document;
//   then the receipt marker "@@@@", and the connection is closed.

#include <cstddef>
#include <cstdint>

#include "net/tls_client.h"
#include "net/wait_hook.h"

namespace dovrel {

inline constexpr char kReceiptMarker[] = "@@@@";
inline constexpr int kReceiptMarkerLength = 4;
inline constexpr int kRequestHeadLength = 5;

struct ExchangeTimeouts {
  int connectMs = 10000;
  int sendMs = 10000;
  int replyLengthMs = 20000;
  int payloadMs = 10000;
  // The whole of it once connected, to the reply's end: each wait above is
  // cut to what is left of this (negative: no bound).
  int overallMs = 60000;
  // Done between the slices of every wait (net/wait_hook.h); none by default.
  WaitHook* hook = nullptr;
  // With it, the connection runs inside TLS: the handshake within connectMs,
  // cut like the other waits; a failed one is no connection. Owned by the
  // caller, for as long as the exchange runs.
  const TlsClient* tls = nullptr;
};

// The frame head of a request of `length` bytes: "#" and the length, big-endian.
void MakeRequestHead(std::uint32_t length, unsigned char head[kRequestHeadLength]);
std::uint32_t ReadBigEndian32(const unsigned char bytes[4]);

// Runs one Exchange with the server at dotted IPv4 `serverAddress`.
// Result: -1 when no connection was made (nothing sent) or reading the reply
// length failed; 0 when the reply length did not arrive in time; otherwise the
// payload bytes received; a reply still incomplete when the overall bound has
// run out counts as a read that timed out there. At most capacity - 1 bytes are stored and a zero
// always follows them, so a reply longer than the buffer arrives cut short.
int Exchange(const char* serverAddress, int port, const char* request, int requestLength,
             char* reply, std::size_t capacity, const ExchangeTimeouts& timeouts = {});

}  // namespace dovrel
