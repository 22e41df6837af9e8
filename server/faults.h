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
//   announce:N        announce N bytes (0 to 4294967295) whatever the reply's length;
//                     at most that many are sent
//   stall[:BYTES]     send the length and so many bytes (default 0), then send
//                     nothing more and keep the connection until the client closes
//   trickle[:MS]      send the reply one byte at a time, MS apart (default 1)
//   double:ELEMENT:TEXT   a second element of that name with this text after the first
//   unterminate:ELEMENT   send the element without its closing tag
//   zero:ELEMENT      send a zero byte just before the element's opening tag
//   value:ELEMENT:TEXT    set the element's text (added when missing); TEXT is
//                     percent-decoded, so any bytes can be given
//   long:ELEMENT:N    set the element's text to N letters "A"
//   encdata:SHAPE[:ARG]   (GET) a hand-made ENC_DATA: see server/crafted_enc_data.h
// On the command line: --fault SERVICE:KIND[:ARG], e.g. --fault GET:omit:ENC_DATA.
// A GET fault may name the one file it applies to: --fault GET=107a.txt:code:0001.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/reply.h"

namespace dovrel::server {

enum class FaultKind {
  kOmit,
  kEmpty,
  kCode,
  kDelay,
  kWithhold,
  kTruncate,
  kOverannounce,
  kRefuse,
  kAnnounce,
  kStall,
  kTrickle,
  kDouble,
  kUnterminate,
  kValue,
  kLong,
  kEncData,
  kZero,
};

struct Fault {
  std::string service;   // INIT, KEYEXCHG, GETLIST, GET or TERMINATE
  std::string fileName;  // GET only: the FILE_NAME it applies to; empty: every file
  FaultKind kind = FaultKind::kOmit;
  std::string element;  // omit, empty, double, unterminate, zero, value, long; encdata: the shape
  std::string code;     // code; double and value: the text; encdata: the argument
  std::int64_t amount = -1;  // delay, trickle (ms); truncate, overannounce, announce, stall,
                             // long (bytes); -1: the default
};

inline constexpr std::int64_t kDefaultOverannounce = 100;
inline constexpr std::int64_t kMaximumDelayMs = 600000;
inline constexpr std::int64_t kMaximumLongElement = 16 * 1024 * 1024;

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
  std::optional<std::uint32_t> announce;
  std::optional<std::int64_t> stallAfter;  // bytes sent before the stall
  std::int64_t trickleMs = -1;             // -1: no trickle
};

// The faults of one request: its service, and for GET its FILE_NAME.
std::vector<Fault> FaultsFor(const std::vector<Fault>& faults, std::string_view service,
                             std::string_view fileName = {});
DeliveryFaults DeliveryOf(const std::vector<Fault>& serviceFaults);
// omit, empty, code, double, unterminate, zero, value and long, applied to the
// reply's elements in the order given.
void ApplyElementFaults(const std::vector<Fault>& serviceFaults, Reply* reply);
// The encdata switch among them, if any.
const Fault* EncDataFault(const std::vector<Fault>& serviceFaults);

}  // namespace dovrel::server
