#include "host/messages.h"

#include <nlohmann/json.hpp>

#include "host/framing.h"

namespace dovrel::host {
namespace {

using Json = nlohmann::json;

// Room kept for the rest of a file list message around its names.
constexpr std::size_t kEnvelopeRoom = 1024;
constexpr double kLargestWholeId = 9007199254740992.0;  // 2^53

// Invalid UTF-8 (a server's name that did not convert) is replaced, not thrown.
std::string Text(const Json& message) {
  return message.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The extension's id as it gave it: a whole number stays one ("1", not "1.0").
Json IdValue(std::optional<double> id) {
  if (!id) return nullptr;
  const double value = *id;
  if (value >= -kLargestWholeId && value <= kLargestWholeId &&
      value == static_cast<double>(static_cast<std::int64_t>(value)))
    return static_cast<std::int64_t>(value);
  return value;
}

Json Reply(std::optional<double> id, const char* type) {
  Json message = Json::object();
  message["id"] = IdValue(id);
  message["type"] = type;
  return message;
}

bool ReadType(const Json& value, RequestType* type) {
  if (!value.is_string()) return false;
  const auto& text = value.get_ref<const std::string&>();
  if (text == "list")
    *type = RequestType::kList;
  else if (text == "receive")
    *type = RequestType::kReceive;
  else if (text == "session")
    *type = RequestType::kSession;
  else
    return false;
  return true;
}

}  // namespace

bool ParseRequest(const std::string& body, Request* request) {
  const Json document = Json::parse(body, nullptr, false);
  if (!document.is_object()) return false;
  const auto id = document.find("id");
  if (id != document.end() && id->is_number()) request->id = id->get<double>();
  const auto type = document.find("type");
  const auto origin = document.find("origin");
  const auto options = document.find("options");
  const auto files = document.find("files");
  if (!request->id || type == document.end() || !ReadType(*type, &request->type)) return false;
  if (origin == document.end() || !origin->is_string()) return false;
  request->origin = origin->get<std::string>();
  if (options != document.end()) {
    if (!options->is_string()) return false;
    request->options = options->get<std::string>();
  }
  if (files != document.end()) {
    if (!files->is_array()) return false;
    request->allFiles = false;
    for (const Json& name : *files) {
      if (!name.is_string()) return false;
      request->files.push_back(name.get<std::string>());
    }
  }
  return true;
}

std::string HelloMessage(const std::string& version) {
  return Text({{"type", "hello"}, {"version", version}, {"protocol", kProtocolVersion}});
}

std::string ErrorMessage(std::optional<double> id, const std::string& code,
                         const std::string& message) {
  Json reply = Reply(id, "error");
  reply["code"] = code;
  reply["message"] = message;
  return Text(reply);
}

std::string FilesMessage(std::optional<double> id, const std::string& date,
                         const std::vector<std::string>& names) {
  Json reply = Reply(id, "files");
  reply["date"] = date;
  Json files = Json::array();
  std::size_t size = Text(reply).size() + kEnvelopeRoom;
  bool truncated = false;
  for (const std::string& name : names) {
    Json entry = {{"name", name}};
    const std::size_t entrySize = Text(entry).size() + 1;
    if (size + entrySize > kMaxOutgoing) {
      truncated = true;
      break;
    }
    size += entrySize;
    files.push_back(std::move(entry));
  }
  reply["files"] = std::move(files);
  if (truncated) reply["truncated"] = true;
  return Text(reply);
}

std::string ProgressMessage(std::optional<double> id, const std::string& file,
                            std::uint64_t received, std::uint64_t total) {
  Json reply = Reply(id, "progress");
  reply["file"] = file;
  reply["received"] = received;
  reply["total"] = total;
  return Text(reply);
}

std::string FileMessage(std::optional<double> id, const FileResult& result) {
  Json reply = Reply(id, "file");
  reply["name"] = result.name;
  reply["ok"] = result.ok;
  if (!result.ok) reply["message"] = result.message;
  return Text(reply);
}

std::string DoneMessage(std::optional<double> id, const std::string& result, int received,
                        int failed, const std::string& folder) {
  Json reply = Reply(id, "done");
  reply["result"] = result;
  reply["received"] = received;
  reply["failed"] = failed;
  reply["folder"] = folder;
  return Text(reply);
}

std::string SessionDoneMessage(std::optional<double> id, const std::string& result) {
  Json reply = Reply(id, "done");
  reply["result"] = result;
  return Text(reply);
}

}  // namespace dovrel::host
