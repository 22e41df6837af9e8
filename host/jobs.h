#pragma once
// The two requests a page draws itself: list a date's files, and receive
// files into the receive folder. Each runs on the host's job thread after the
// request's origin has passed and returns its last reply (files, done or
// error), which the caller sends once the request no longer counts as busy.

#include <atomic>
#include <string>

#include "host/messages.h"
#include "session/server_pins.h"

namespace dovrel::host {

class ReplySink {
 public:
  virtual ~ReplySink() = default;
  // One message's JSON; called from any thread.
  virtual void Send(const std::string& json) = 0;
};

// Error codes of the conversation.
inline constexpr char kBadRequest[] = "bad-request";
inline constexpr char kServerError[] = "server";
inline constexpr char kLocalError[] = "local";

std::string RunList(const Request& request, const ServerPins& pins);

// `cancel` set (the browser closed the port) gives up the file under way,
// leaving none of it, and ends the session with TERMINATE. Progress and each
// file's result go to `replies` as they come.
std::string RunReceive(const Request& request, const ServerPins& pins,
                       const std::atomic<bool>& cancel, ReplySink& replies);

}  // namespace dovrel::host
