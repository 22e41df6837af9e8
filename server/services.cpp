#include "server/services.h"

#include <unistd.h>

#include <optional>
#include <utility>

#include "net/message.h"
#include "server/crafted_enc_data.h"
#include "server/encrypted_body.h"
#include "server/key_envelope.h"
#include "server/result_codes.h"

namespace dovrel::server {
namespace {

std::optional<std::string> Text(std::string_view request, const char* name) {
  std::optional<std::string_view> text = FindElementText(request, name);
  if (!text) return std::nullopt;
  return std::string(*text);
}

// The detail goes to the server's log only: it may hold library text.
Reply InternalFailure(const ServiceContext& context, const std::string& detail) {
  context.warn(detail);
  return FailureReply(kResultInternal, "the server cannot make this reply");
}

Reply Missing(const char* name) {
  return FailureReply(kResultMissingElement,
                      std::string("the request has no ") + name + " element");
}

std::string JoinList(const std::vector<std::string>& names, std::size_t count) {
  std::string list;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) list += '|';
    list += names[i];
  }
  return list;
}

Reply ListReply(const std::vector<std::string>& names, std::size_t count) {
  Reply reply;
  reply.Add("RESULT_CODE", kResultOk)
      .Add("RESULT_MSG", "")
      .Add("FILE_COUNT", std::to_string(count))
      .Add("FILE_LIST", JoinList(names, count));
  return reply;
}

// The encdata switch's reply for a small file: its whole plaintext is made here.
Reply CraftedGetReply(OpenedFile file, const SessionKeys& keys, const Fault& fault,
                      const ServiceContext& context) {
  constexpr std::uint64_t kMostCrafted = 1024 * 1024;
  if (file.size > kMostCrafted) return FailureReply(kResultInternal, "encdata needs a small file");
  std::string plaintext = FilePlaintextPrefix(file.size);
  const std::size_t start = plaintext.size();
  plaintext.resize(start + static_cast<std::size_t>(file.size));
  std::size_t got = 0;
  while (got < file.size) {
    const ssize_t n = read(file.descriptor.get(), plaintext.data() + start + got, file.size - got);
    if (n <= 0) return FailureReply(kResultFileUnreadable, "the file cannot be read");
    got += static_cast<std::size_t>(n);
  }
  std::string error;
  const std::optional<std::string> text =
      CraftEncData(fault.element, fault.code, std::move(plaintext), keys, &error);
  if (!text) return InternalFailure(context, error);
  Reply reply;
  reply.Add("RESULT_CODE", kResultOk).Add("ENC_DATA", *text);
  return reply;
}

}  // namespace

Reply HandleInit(ServiceContext& context) {
  const std::string skey = NewSessionName();
  if (skey.empty()) return FailureReply(kResultInternal, "no random session name could be drawn");
  context.sessions.Open(skey, context.now);
  Reply reply;
  reply.Add("RESULT_CODE", kResultOk)
      .Add("RESULT_MSG", "")
      .Add("SKEY", skey)
      .Add("SERVER_SIGNED_DATA", context.credentials.signedDataValue);
  return reply;
}

Reply HandleKeyExchange(std::string_view request, ServiceContext& context) {
  // One reply for every refusal, and the session checked before the envelope
  // is opened: a client learns nothing of why, so no padding oracle.
  auto refuse = [&context](const std::string& why) {
    context.warn("key exchange refused: " + why);
    return FailureReply(kResultKeyExchangeFailed, "key exchange failed");
  };
  const std::optional<std::string> skey = Text(request, "SKEY");
  const std::optional<std::string_view> envelope = FindElementText(request, "ENVELOP_DATA");
  if (!skey || !envelope) return refuse("the request has no SKEY or no ENVELOP_DATA");
  if (!context.sessions.IsOpen(*skey, context.now)) return refuse("unknown or expired session");
  SessionKeys keys;
  std::string error;
  if (!OpenKeyEnvelope(*envelope, context.credentials, &keys, &error)) return refuse(error);
  if (!context.sessions.SetKeys(*skey, keys, context.now)) return refuse("the session has ended");
  Reply reply;
  reply.Add("RESULT_CODE", kResultOk).Add("RESULT_MSG", "");
  return reply;
}

Reply HandleGetList(std::string_view request, ServiceContext& context) {
  const std::optional<std::string_view> date = FindElementText(request, "DATE");
  if (!date) return Missing("DATE");
  const std::vector<std::string> names = context.files.List(*date);

  // As many names as fit, in order.
  const std::uint64_t emptyLength = ListReply(names, 0).Length() - 1;  // less the count "0"
  std::size_t count = 0;
  std::uint64_t listLength = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::uint64_t next = listLength + (i > 0 ? 1 : 0) + names[i].size();
    if (emptyLength + std::to_string(i + 1).size() + next > kListReplyLimit) break;
    listLength = next;
    count = i + 1;
  }
  if (count < names.size()) {
    context.warn("list for " + std::string(*date) + " cut to " + std::to_string(count) + " of " +
                 std::to_string(names.size()) + " names to fit the clients' reply buffer");
  }
  return ListReply(names, count);
}

Reply HandleGet(std::string_view request, ServiceContext& context) {
  const std::optional<std::string> skey = Text(request, "SKEY");
  if (!skey) return Missing("SKEY");
  const std::optional<std::string_view> name = FindElementText(request, "FILE_NAME");
  if (!name) return Missing("FILE_NAME");
  const std::optional<SessionKeys> keys = context.sessions.Keys(*skey, context.now);
  if (!keys) {
    return FailureReply(kResultUnknownSession,
                        "unknown or expired session (SKEY), or no key exchange yet");
  }
  OpenedFile file;
  switch (context.files.Open(*name, &file)) {
    case FindResult::kFound:
      break;
    case FindResult::kInvalidName:
      return FailureReply(kResultBadFileName, "not a plain file name");
    case FindResult::kNotFound:
      return FailureReply(kResultFileNotFound, "no such file");
    case FindResult::kUnreadable:
      return FailureReply(kResultFileUnreadable, "the file cannot be read");
  }
  if (context.encData) return CraftedGetReply(std::move(file), *keys, *context.encData, context);
  std::string error;
  std::unique_ptr<EncryptedFileBody> body =
      EncryptedFileBody::Create(std::move(file), *keys, &error);
  if (!body) return InternalFailure(context, error);
  Reply reply;
  reply.Add("RESULT_CODE", kResultOk).AddBody("ENC_DATA", std::move(body));
  if (reply.Length() > kReplyLengthLimit) {
    return FailureReply(kResultFileTooLarge, "the file is too large for one reply");
  }
  return reply;
}

Reply HandleTerminate(std::string_view request, ServiceContext& context) {
  if (const std::optional<std::string> skey = Text(request, "SKEY")) context.sessions.Close(*skey);
  Reply reply;
  reply.Add("RESULT_CODE", kResultOk).Add("RESULT_MSG", "");
  return reply;
}

Reply HandleRequest(std::string_view service, std::string_view request, ServiceContext& context) {
  if (service == "INIT") return HandleInit(context);
  if (service == "KEYEXCHG") return HandleKeyExchange(request, context);
  if (service == "GETLIST") return HandleGetList(request, context);
  if (service == "GET") return HandleGet(request, context);
  if (service == "TERMINATE") return HandleTerminate(request, context);
  return FailureReply(kResultUnknownService, "unknown SERVICE_CODE");
}

}  // namespace dovrel::server
