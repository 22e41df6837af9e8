#include "host/conversation.h"

#include <atomic>
#include <thread>

#include "host/messages.h"

namespace dovrel::host {
namespace {

// The request under way on its own thread; going away cancels and waits for it.
class JobSlot {
 public:
  ~JobSlot() { Finish(); }

  bool Busy() const { return thread_.joinable() && !done_; }

  // `work` returns the request's last reply: the request counts as done
  // before it goes out, so the extension may send the next one at once.
  void Start(std::function<std::string(const std::atomic<bool>&)> work, ReplySink& out) {
    Finish();
    cancel_ = false;
    done_ = false;
    thread_ = std::thread([this, work = std::move(work), &out] {
      std::string last;
      try {
        last = work(cancel_);
      } catch (...) {
        // Out of memory at worst: the request ends without its last reply.
      }
      done_ = true;
      if (!last.empty()) out.Send(last);
    });
  }

  void Finish() {
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::atomic<bool> cancel_{false};
  std::atomic<bool> done_{true};
  std::thread thread_;
};

// The error reply for a request that may not run; "" when it may.
std::string Refusal(const Request& request, const HostSettings& settings) {
  std::string refusal;
  if (!OriginAllowed(request.origin, settings.sites, &refusal))
    return ErrorMessage(request.id, "site-refused", refusal);
  if (request.type == RequestType::kSession && !settings.session)
    return ErrorMessage(request.id, "unsupported", "no session windows on this system");
  return {};
}

}  // namespace

int Converse(const Caller& caller, const HostSettings& settings, ByteReader& in, ReplySink& out) {
  out.Send(HelloMessage(settings.version));
  if (!ExtensionAllowed(caller.extension, settings.extensionList)) {
    out.Send(ErrorMessage(std::nullopt, "extension-refused", "this extension may not use Dovrel"));
    return 1;
  }
  JobSlot job;
  for (;;) {
    std::string body;
    switch (ReadFrame(in, &body)) {
      case ReadResult::kMessage:
        break;
      case ReadResult::kTooLarge:
        out.Send(ErrorMessage(std::nullopt, "too-large", "the message is too large"));
        return 1;
      case ReadResult::kEnd:
      case ReadResult::kBroken:
        return 0;  // the slot cancels the request under way and waits for it
    }
    Request request;
    const bool parsed = ParseRequest(body, &request);
    if (job.Busy()) {
      out.Send(ErrorMessage(request.id, "busy", "another request is under way"));
      continue;
    }
    if (!parsed) {
      out.Send(ErrorMessage(request.id, kBadRequest, "not a request"));
      continue;
    }
    if (const std::string refusal = Refusal(request, settings); !refusal.empty()) {
      out.Send(refusal);
      continue;
    }
    job.Start(
        [request, &settings, &caller, &out](const std::atomic<bool>& cancel) {
          switch (request.type) {
            case RequestType::kList:
              return RunList(request, settings.pins);
            case RequestType::kReceive:
              return RunReceive(request, settings.pins, cancel, out);
            case RequestType::kSession:
              break;
          }
          return SessionDoneMessage(request.id, settings.session(request, caller));
        },
        out);
  }
}

}  // namespace dovrel::host
