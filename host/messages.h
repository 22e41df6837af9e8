#pragma once
// The JSON of the host's conversation with the extension: what a request may
// hold, and every reply the host sends. Parsing never throws: whatever is not
// a well-formed request comes back as one that is not valid.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dovrel::host {

inline constexpr int kProtocolVersion = 1;

enum class RequestType { kList, kReceive, kSession };

struct Request {
  std::optional<double> id;  // echoed in every reply; absent when unreadable
  RequestType type = RequestType::kList;
  std::string origin;
  std::string options;             // the option text a page gives ReceiveFile (UTF-8)
  bool allFiles = true;            // "files" absent
  std::vector<std::string> files;  // UTF-8
};

// False for anything but an object with a numeric "id", a known "type", a text
// "origin", an optional text "options" and an optional array of texts "files".
// `request->id` is filled whenever the body names a numeric id.
bool ParseRequest(const std::string& body, Request* request);

struct FileResult {
  std::string name;  // UTF-8
  bool ok = false;
  std::string message;  // when not ok
};

// Each returns one message's JSON text.
std::string HelloMessage(const std::string& version);
std::string ErrorMessage(std::optional<double> id, const std::string& code,
                         const std::string& message);
// The names that fit within the outgoing bound, and "truncated" when some did not.
std::string FilesMessage(std::optional<double> id, const std::string& date,
                         const std::vector<std::string>& names);
std::string ProgressMessage(std::optional<double> id, const std::string& file,
                            std::uint64_t received, std::uint64_t total);
std::string FileMessage(std::optional<double> id, const FileResult& result);
std::string DoneMessage(std::optional<double> id, const std::string& result, int received,
                        int failed, const std::string& folder);
std::string SessionDoneMessage(std::optional<double> id, const std::string& result);

}  // namespace dovrel::host
