// One connection of the file server: "#", a 4-byte big-endian length and the
// request document; then a 4-byte big-endian length and the reply; then the
// client's "@@@@"; then close. Anything else closes the connection.
#include "server/connection.h"

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "net/exchange.h"
#include "net/message.h"
#include "server/printable_text.h"
#include "server/result_codes.h"
#include "server/server_state.h"
#include "server/services.h"

namespace dovrel::server {
namespace {

constexpr std::size_t kSendChunk = 64 * 1024;
constexpr std::size_t kTracedServiceLimit = 96;

Deadline After(int milliseconds) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

// The connection's one deadline, set when it starts; only the waits that
// fault switches ask for push it back.
struct ConnectionClock {
  Deadline deadline;
  // The earlier of the deadline and `milliseconds` from now.
  Deadline Within(int milliseconds) const { return std::min(deadline, After(milliseconds)); }
  void Extend(std::int64_t milliseconds) { deadline += std::chrono::milliseconds(milliseconds); }
  bool Passed() const { return std::chrono::steady_clock::now() >= deadline; }
};

// The request document, or nothing when the frame is not one.
std::optional<std::string> ReadRequest(int socket, FileServer::State& state,
                                       const ConnectionClock& clock) {
  const Deadline deadline = clock.Within(state.options.ioTimeoutMs);
  unsigned char head[kRequestHeadLength];
  if (!ReadExact(socket, head, sizeof head, deadline, state.stop)) return std::nullopt;
  if (head[0] != '#') {
    state.Warn("closed a connection whose request did not start with \"#\"");
    return std::nullopt;
  }
  const std::uint32_t length = ReadBigEndian32(head + 1);
  if (length > state.options.maxRequestLength) {
    state.Warn("closed a connection that announced a request of " + std::to_string(length) +
               " bytes");
    return std::nullopt;
  }
  std::string document(length, '\0');
  if (length > 0 && !ReadExact(socket, document.data(), length, deadline, state.stop)) {
    return std::nullopt;
  }
  return document;
}

// How much of the reply goes out before a fault stops sending.
std::uint64_t BytesToSend(const DeliveryFaults& delivery, std::uint64_t length,
                          std::uint64_t announced) {
  std::uint64_t count = std::min(length, announced);
  if (delivery.stallAfter)
    count = std::min<std::uint64_t>(count, static_cast<std::uint64_t>(*delivery.stallAfter));
  if (!delivery.truncateAt) return count;
  if (*delivery.truncateAt < 0) return std::min(count, length / 2);
  const std::uint64_t most = length > 0 ? length - 1 : 0;
  return std::min({static_cast<std::uint64_t>(*delivery.truncateAt), most, count});
}

std::uint64_t AnnouncedLength(const DeliveryFaults& delivery, std::uint64_t length) {
  if (delivery.announce) return *delivery.announce;
  return std::min<std::uint64_t>(length + static_cast<std::uint64_t>(delivery.overannounce),
                                 kReplyLengthLimit);
}

bool Send(int socket, const void* bytes, std::size_t count, const ConnectionClock& clock,
          const FileServer::State& state) {
  return SendAll(socket, bytes, count, clock.deadline, state.options.ioTimeoutMs, state.stop);
}

// Sends `count` bytes one at a time, `pauseMs` apart; the pauses are added to
// the deadline.
bool Trickle(int socket, const char* bytes, std::size_t count, int pauseMs, ConnectionClock* clock,
             const FileServer::State& state) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!Send(socket, bytes + i, 1, *clock, state)) return false;
    clock->Extend(pauseMs);
    if (pauseMs > 0 && !SleepUnlessStopped(pauseMs, state.stop)) return false;
  }
  return true;
}

// False when the reply did not go out whole (or was cut on purpose).
bool SendReply(int socket, Reply* reply, const DeliveryFaults& delivery, ConnectionClock* clock,
               FileServer::State& state) {
  const std::uint64_t length = reply->Length();
  const std::uint64_t announced = AnnouncedLength(delivery, length);
  const unsigned char head[4] = {
      static_cast<unsigned char>(announced >> 24), static_cast<unsigned char>(announced >> 16),
      static_cast<unsigned char>(announced >> 8), static_cast<unsigned char>(announced)};
  if (!Send(socket, head, sizeof head, *clock, state)) return false;

  const std::uint64_t toSend = BytesToSend(delivery, length, announced);
  ReplyReader reader(reply);
  std::vector<char> buffer(kSendChunk);
  std::uint64_t sent = 0;
  while (sent < toSend) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kSendChunk, toSend - sent));
    const std::ptrdiff_t n = reader.Read(buffer.data(), want);
    if (n < 0) {
      state.Warn("reply cut off: " + reader.Error());
      return false;
    }
    if (n == 0) {
      state.Warn("reply cut off: it came out shorter than announced");
      return false;
    }
    const bool ok = delivery.trickleMs >= 0
                        ? Trickle(socket, buffer.data(), static_cast<std::size_t>(n),
                                  static_cast<int>(delivery.trickleMs), clock, state)
                        : Send(socket, buffer.data(), static_cast<std::size_t>(n), *clock, state);
    if (!ok) return false;
    sent += static_cast<std::uint64_t>(n);
  }
  if (delivery.stallAfter) {
    DrainUntilClosed(socket, state.options.withholdLimitMs, state.stop);
    return false;
  }
  if (delivery.truncateAt) return false;
  return toSend == length || delivery.announce.has_value();
}

}  // namespace

void ServeConnection(int socket, FileServer::State& state) {
  ConnectionClock clock{After(state.options.connectionLimitMs)};
  std::optional<std::string> request = ReadRequest(socket, state, clock);
  if (!request) return;

  const std::string_view service =
      FindElementText(*request, "SERVICE_CODE").value_or(std::string_view());
  if (state.options.traceRequests) {
    // One line per request, whatever the client put in its SERVICE_CODE.
    const std::string line = "request " + PrintableText(service, kTracedServiceLimit) + "\n";
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
  }
  std::optional<RequestRecord> record = RecordOf(*request, kRequestRecordLimit);
  if (!record) {
    state.Warn("refused a request of more than " + std::to_string(kRequestElementLimit) +
               " elements");
    Reply refusal = FailureReply(kResultBadRequest, "bad request: too many elements");
    SendReply(socket, &refusal, DeliveryFaults{}, &clock, state);
    return;
  }
  const std::uint64_t number = state.requests.Add(std::move(*record));

  const std::string fileName(FindElementText(*request, "FILE_NAME").value_or(std::string_view()));
  const std::vector<Fault> faults = FaultsFor(state.Faults(), service, fileName);
  const DeliveryFaults delivery = DeliveryOf(faults);
  if (delivery.refuse) return;
  if (delivery.withhold) {
    DrainUntilClosed(socket, state.options.withholdLimitMs, state.stop);
    return;
  }

  ServiceContext context{*state.credentials,
                         state.sessions,
                         state.files,
                         std::chrono::steady_clock::now(),
                         [&state](const std::string& text) { state.Warn(text); },
                         EncDataFault(faults)};
  Reply reply = HandleRequest(service, *request, context);
  ApplyElementFaults(faults, &reply);
  clock.Extend(delivery.delayMs);
  if (delivery.delayMs > 0 && !SleepUnlessStopped(static_cast<int>(delivery.delayMs), state.stop)) {
    return;
  }
  if (!SendReply(socket, &reply, delivery, &clock, state)) {
    if (clock.Passed()) {
      state.Warn("closed a connection not through within " +
                 std::to_string(state.options.connectionLimitMs) + " ms");
    }
    return;
  }

  char marker[kReceiptMarkerLength];
  if (ReadExact(socket, marker, sizeof marker, clock.Within(state.options.receiptTimeoutMs),
                state.stop) &&
      std::memcmp(marker, kReceiptMarker, sizeof marker) == 0) {
    state.requests.MarkReceipt(number);
  }
}

}  // namespace dovrel::server
