#include "host/jobs.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include "base/text_field.h"
#include "base/transfer_item.h"
#include "control/server_name_check.h"
#include "control/session_values.h"
#include "host/platform.h"
#include "net/wire_text.h"
#include "session/download_thread.h"
#include "session/file_list_exchange.h"
#include "session/file_names.h"
#include "session/key_exchange.h"
#include "session/name_list_view.h"
#include "session/transport_security.h"

namespace dovrel::host {
namespace {

constexpr auto kProgressPeriod = std::chrono::milliseconds(250);
constexpr auto kWorkerPoll = std::chrono::milliseconds(50);
constexpr char kNotReceivedText[] = "not received";
constexpr char kNoSessionText[] = "the secure session could not be opened";

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local;
}

// The server, date and user id of the request's option text, the server's
// name resolved; false with the error reply in `error`.
bool SessionParameters(const Request& request, ReceiveParameters* parameters, std::string* error) {
  std::string ansi;
  if (!Cp949WireText().FromUtf8(request.options, &ansi)) {
    *error = ErrorMessage(request.id, kBadRequest, "options are not text");
    return false;
  }
  SessionValues values;
  InitialSessionValues(&values);
  ReadSessionOptions(ansi.data(), ansi.size(), &values);
  ApplySessionDefaults(LocalNow(), &values);
  char address[kResolutionTextSize] = {};
  if (entry::ResolveServerAddress(values.serverText, address, sizeof address) != 0) {
    char text[kFailureTextSize];
    FormatConnectFailure(values.serverText, address, text, sizeof text);
    *error = ErrorMessage(request.id, kServerError, WireToUtf8(Cp949WireText(), text));
    return false;
  }
  SetFieldText(parameters->serverAddress, address);
  SetFieldText(parameters->serverName, values.serverText);
  parameters->serverPort = values.serverPort;
  SetFieldText(parameters->searchDate, values.searchDate);
  SetFieldText(parameters->userId, values.userId);
  return true;
}

// How the request's server is reached, inside TLS where the build or the
// administrator asks for it; false with the error reply in `error`.
bool ReachServer(const Request& request, const ReceiveParameters& parameters,
                 const ServerPins& pins, ServerAccess* access, std::string* error) {
  *access = MakeServerAccess(pins, false, FieldText(parameters.serverName));
  if (access->Ready()) return true;
  *error = ErrorMessage(request.id, kServerError, kTlsWithoutPinsText);
  return false;
}

// Keeps the names and the first message the exchange would have shown.
class CollectingListView final : public NameListView {
 public:
  using NameListView::NameListView;
  void StartBusyPopup(const char*) override {}
  void StopBusyPopup() override {}
  void ShowMessage(const std::string& text, const char*, unsigned) override {
    if (message_.empty()) message_ = text;
  }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

class CollectingSessionHost final : public KeyExchangeHost {
 public:
  void StartBusyPopup(const char*) override {}
  void StopBusyPopup() override {}
  void ShowMessage(const char* text, const char*, unsigned) override {
    if (message_.empty()) message_ = text;
  }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// The date's names (wire text); false with the error reply in `error`. No
// files for the date is an empty list, not an error.
bool ListNames(const Request& request, ReceiveParameters& parameters, const ServerAccess& access,
               std::vector<std::string>* names, std::string* error) {
  CollectingListView view(FieldText(parameters.searchDate));
  std::vector<TransferItem> serverFiles;
  if (QueryFileList(parameters, view, serverFiles, access.With({}), access.pins) > 0 ||
      view.Message() == kNoFilesText) {
    *names = view.Names();
    return true;
  }
  const char* code = view.Message() == kBadDateText ? kBadRequest : kServerError;
  *error = ErrorMessage(request.id, code, view.Message());
  return false;
}

// Progress of the file under way, a few messages a second at most.
class ProgressReplies final : public TransferView {
 public:
  ProgressReplies(const Request& request, ReplySink& replies)
      : request_(request), replies_(replies) {}
  void SetText(TransferField field, const std::string& utf8) override {
    if (field != TransferField::kFileName) return;
    std::lock_guard<std::mutex> hold(lock_);
    file_ = utf8;
    lastSent_ = {};
  }
  void SetProgress(int) override {}
  void EnableCancel(bool) override {}
  void SetBytes(std::uint64_t received, std::uint64_t total) override {
    std::lock_guard<std::mutex> hold(lock_);
    const auto now = std::chrono::steady_clock::now();
    if (received < total && now - lastSent_ < kProgressPeriod) return;
    lastSent_ = now;
    replies_.Send(ProgressMessage(request_.id, file_, received, total));
  }

 private:
  const Request& request_;
  ReplySink& replies_;
  std::mutex lock_;
  std::string file_;
  std::chrono::steady_clock::time_point lastSent_;
};

}  // namespace

std::string RunList(const Request& request, const ServerPins& pins) {
  ReceiveParameters parameters;
  std::vector<std::string> names;
  std::string error;
  ServerAccess access;
  if (!SessionParameters(request, &parameters, &error) ||
      !ReachServer(request, parameters, pins, &access, &error) ||
      !ListNames(request, parameters, access, &names, &error))
    return error;
  for (std::string& name : names) name = WireToUtf8(PlatformWireText(), name);
  return FilesMessage(request.id, FieldText(parameters.searchDate), names);
}

std::string RunReceive(const Request& request, const ServerPins& pins,
                       const std::atomic<bool>& cancel, ReplySink& replies) {
  std::string folder;
  std::string problem;
  if (!ReceiveFolder(&folder, &problem)) return ErrorMessage(request.id, kLocalError, problem);
  ReceiveParameters parameters;
  std::string error;
  ServerAccess access;
  if (!SessionParameters(request, &parameters, &error) ||
      !ReachServer(request, parameters, pins, &access, &error))
    return error;
  SetFieldText(parameters.receiveFolder, folder);

  std::vector<std::string> wireNames;
  if (request.allFiles) {
    if (!ListNames(request, parameters, access, &wireNames, &error)) return error;
  } else {
    for (const std::string& name : request.files) {
      std::string wire;
      if (!PlatformWireText().FromUtf8(name, &wire))
        return ErrorMessage(request.id, kBadRequest, "a file name cannot be sent");
      wireNames.push_back(wire);
    }
  }
  std::vector<TransferItem> items = ItemsForNames(folder, wireNames, PlatformWireText());

  TransferJob job;
  job.parameters = parameters;
  job.terminateTimeouts = access.With({});
  job.tls = access.tls.get();
  CollectingSessionHost sessionHost;
  if (OpenSecureSession(parameters, &job.keys, sessionHost, access.With({}), access.pins) !=
      KeyExchangeResult::kOpened) {
    const std::string& shown = sessionHost.Message();
    return ErrorMessage(request.id, kServerError, shown.empty() ? kNoSessionText : shown);
  }
  ProgressReplies view(request, replies);
  job.items = items.data();
  // Cancelled while the session opened: it is still closed with TERMINATE.
  job.count = cancel ? 0 : static_cast<int>(items.size());
  job.view = &view;
  job.wire = &PlatformWireText();
  {
    DownloadThread worker(job);
    while (!worker.Done()) {
      if (cancel) worker.RequestStop();
      std::this_thread::sleep_for(kWorkerPoll);
    }
    worker.Wait();
  }

  int received = 0;
  for (const TransferItem& item : items) {
    FileResult result;
    result.name = WireToUtf8(PlatformWireText(), FieldText(item.fileName));
    result.ok = item.done != 0;
    if (!result.ok) result.message = kNotReceivedText;
    received += result.ok ? 1 : 0;
    replies.Send(FileMessage(request.id, result));
  }
  const int failed = static_cast<int>(items.size()) - received;
  const WireText& names = kFileNamesAreWireText ? PlatformWireText() : IdentityWireText();
  return DoneMessage(request.id, "1", received, failed, WireToUtf8(names, folder));
}

}  // namespace dovrel::host
