#pragma once
// Fault switches: ways to make the server misbehave on purpose, per service,
// so that clients can be tested against a server that fails.
//   omit:ELEMENT      leave the element out of the reply
//   empty:ELEMENT     send the element with an empty text
//   code:VALUE        send RESULT_CODE with this text
//   delay:MS          wait this long before the reply length
//   withhold          send no reply; keep the connection until the client closes
//   truncate[:BYTES]  send the length and only so many bytes, then close
//                     (default: half the reply)
//   overannounce[:BYTES]  announce this many bytes more than are sent (default 100)
//   refuse            close at once after reading the request
// On the command line: --fault SERVICE:KIND[:ARG], e.g. --fault GET:omit:ENC_DATA.
// A GET fault may name the one file it applies to: --fault GET=107a.txt:code:0001.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/reply.h"

namespace dovrel::server {

enum class FaultKind { kOmit, kEmpty, kCode, kDelay, kWithhold, kTruncate, kOverannounce, kRefuse };

struct Fault {
  std::string service;  // INIT, KEYEXCHG, GETLIST, GET or TERMINATE
  std::string fileName;  // GET only: the FILE_NAME it applies to; empty: every file
  FaultKind kind = FaultKind::kOmit;
  std::string element;  // omit, empty
  std::string code;     // code
  std::int64_t amount = -1;  // delay (ms), truncate and overannounce (bytes); -1: the default
};

inline constexpr std::int64_t kDefaultOverannounce = 100;
inline constexpr std::int64_t kMaximumDelayMs = 600000;

bool IsKnownService(std::string_view service);

// One switch from its text; nothing, with `error` set, when it is malformed.
std::optional<Fault> ParseFault(std::string_view text, std::string* error);

// What the switches of one service do to the way the reply is sent.
struct DeliveryFaults {
  bool refuse = false;
  bool withhold = false;
  std::int64_t delayMs = 0;
  std::optional<std::int64_t> truncateAt;  // -1: half the reply
  std::int64_t overannounce = 0;
};

// The faults of one request: its service, and for GET its FILE_NAME.
std::vector<Fault> FaultsFor(const std::vector<Fault>& faults, std::string_view service,
                             std::string_view fileName = {});
DeliveryFaults DeliveryOf(const std::vector<Fault>& serviceFaults);
// omit, empty and code, applied to the reply's elements.
void ApplyElementFaults(const std::vector<Fault>& serviceFaults, Reply* reply);

}  // namespace dovrel::server
