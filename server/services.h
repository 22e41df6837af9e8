#pragma once
// The five services: a request document in, a reply out.

#include <functional>
#include <string>
#include <string_view>

#include "server/credentials.h"
#include "server/faults.h"
#include "server/file_store.h"
#include "server/reply.h"
#include "server/session_table.h"

namespace dovrel::server {

// The client keeps a GETLIST reply in 30720 bytes with its terminating zero;
// the list is cut to fit.
inline constexpr std::uint64_t kListReplyLimit = 30719;
// The reply length travels in 4 bytes.
inline constexpr std::uint64_t kReplyLengthLimit = 0xFFFFFFFFull;

struct ServiceContext {
  const ServerCredentials& credentials;
  SessionTable& sessions;
  const FileStore& files;
  Clock::time_point now;
  WarningSink warn;
  const Fault* encData = nullptr;  // GET: send a hand-made ENC_DATA instead
};

Reply HandleInit(ServiceContext& context);
Reply HandleKeyExchange(std::string_view request, ServiceContext& context);
Reply HandleGetList(std::string_view request, ServiceContext& context);
Reply HandleGet(std::string_view request, ServiceContext& context);
Reply HandleTerminate(std::string_view request, ServiceContext& context);

// Dispatches on SERVICE_CODE; an unknown service gets a failure reply.
Reply HandleRequest(std::string_view service, std::string_view request, ServiceContext& context);

}  // namespace dovrel::server
