#include "session/file_list_exchange.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "net/message.h"
#include "base/message_box.h"

namespace dovrel {
namespace {

constexpr std::size_t kSkeyLimit = kShortTextSize - 1;
constexpr std::size_t kFileNameLimit = kPathSize - 1;

// What the exchanges yield: the names, or the message that says why not.
struct QueryOutcome {
  std::vector<TransferItem> files;
  std::string failure;
};

class ReplyBuffer {
 public:
  ReplyBuffer() : bytes_(new char[kFileListReplySize]) {}

  // One Exchange into a zeroed buffer; false when no reply was obtained.
  bool Run(const ReceiveParameters& parameters, const char* request, int requestLength,
           const ExchangeTimeouts& timeouts) {
    std::memset(bytes_.get(), 0, kFileListReplySize);
    const std::string address = FieldText(parameters.serverAddress);
    return Exchange(address.c_str(), parameters.serverPort, request, requestLength, bytes_.get(),
                    kFileListReplySize, timeouts) >= 0;
  }

  std::optional<std::string_view> Find(const char* name) const {
    return FindElementText(std::string_view(bytes_.get()), name);
  }

 private:
  std::unique_ptr<char[]> bytes_;
};

// RESULT_CODE present and 0; otherwise the failure message of that reply.
bool CheckResult(const ReplyBuffer& reply, const WireText& wire, std::string* failure) {
  const auto code = reply.Find("RESULT_CODE");
  if (!code) {
    *failure = kNoResultCodeText;
    return false;
  }
  const std::int32_t value = ParseLeadingInteger(std::string(*code).c_str());
  if (value == 0) return true;
  std::string_view message = reply.Find("RESULT_MSG").value_or(std::string_view());
  message = message.substr(0, std::min(message.size(), kServerMessageLimit));
  *failure = FormatServerError(value, WireToUtf8(wire, message));
  return false;
}

QueryOutcome RunExchanges(const ReceiveParameters& parameters, const std::string& date,
                          const WireText& wire, const ExchangeTimeouts& timeouts,
                          const ServerPins& pins) {
  QueryOutcome outcome;
  ReplyBuffer reply;
  char request[kFileListRequestSize];

  int length = BuildRequest({{"SERVICE_CODE", "INIT"}}, request, sizeof request);
  if (length < 0 || !reply.Run(parameters, request, length, timeouts)) {
    outcome.failure = kNoConnectionText;
    return outcome;
  }
  if (!CheckResult(reply, wire, &outcome.failure)) return outcome;
  const auto skeyText = reply.Find("SKEY");
  // A session name too long for its 128-byte field is as unusable as none.
  if (!skeyText || skeyText->size() > kSkeyLimit) {
    outcome.failure = kNoSkeyText;
    return outcome;
  }
  // The user id goes only to a server the build or the administrator trusts.
  if (!PinsAdmitSignedData(pins, reply.Find("SERVER_SIGNED_DATA").value_or(std::string_view()))) {
    outcome.failure = kNoConnectionText;
    return outcome;
  }

  const std::string skey(*skeyText);
  const std::string userId = FieldText(parameters.userId);
  length = BuildRequest({{"SERVICE_CODE", "GETLIST"},
                         {"SKEY", skey.c_str()},
                         {"USERID", userId.c_str()},
                         {"DATE", date.c_str()}},
                        request, sizeof request);
  if (length < 0 || !reply.Run(parameters, request, length, timeouts)) {
    outcome.failure = kNoConnectionText;
    return outcome;
  }
  if (!CheckResult(reply, wire, &outcome.failure)) return outcome;

  const auto countText = reply.Find("FILE_COUNT");
  if (!countText) {
    outcome.failure = kNoFileCountText;
    return outcome;
  }
  const std::int32_t count = ParseLeadingInteger(std::string(*countText).c_str());
  if (count <= 0) {
    outcome.failure = kNoFilesText;
    return outcome;
  }
  const auto listText = reply.Find("FILE_LIST");
  if (!listText) {
    outcome.failure = kNoFileListText;
    return outcome;
  }

  // The count only limits the names taken; storage follows the names present.
  const std::size_t maximum = std::min(static_cast<std::size_t>(count), kMaxServerFiles);
  for (std::string_view name : SplitFileList(*listText, maximum)) {
    if (name.size() > kFileNameLimit) continue;
    TransferItem item;
    std::memcpy(item.fileName, name.data(), name.size());
    outcome.files.push_back(item);
  }
  if (outcome.files.empty()) outcome.failure = kNoFilesText;
  return outcome;
}

}  // namespace

std::vector<std::string_view> SplitFileList(std::string_view text, std::size_t maximum) {
  std::vector<std::string_view> names;
  std::size_t at = 0;
  while (names.size() < maximum && at < text.size()) {
    const std::size_t end = std::min(text.find('|', at), text.size());
    if (end > at) names.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return names;
}

std::string FormatServerError(std::int32_t code, std::string_view messageUtf8) {
  char head[256];
  std::snprintf(head, sizeof head,
                "메세지 수신중 다음과 같은 오류가 발생하였습니다\n 에러코드 : %04d\n 에러메세지 : ",
                static_cast<int>(code));
  return std::string(head).append(messageUtf8);
}

int QueryFileList(ReceiveParameters& parameters, FileListView& view,
                  std::vector<TransferItem>& serverFiles, const ExchangeTimeouts& timeouts,
                  const ServerPins& pins) {
  SetFieldText(parameters.searchDate, view.DateText());
  const std::string date = FieldText(parameters.searchDate);
  if (date.size() != kSearchDateLength) {
    view.FocusDateEdit();
    view.ShowMessage(kBadDateText, kCaptionNotice, kMbOk);
    return 0;
  }

  serverFiles.clear();
  serverFiles.shrink_to_fit();
  view.ClearServerRows();
  view.StartBusyPopup(kFileListBusyText);

  QueryOutcome outcome = RunExchanges(parameters, date, view.Wire(), timeouts, pins);
  if (outcome.files.empty()) {
    view.StopBusyPopup();
    view.ShowMessage(outcome.failure, kCaptionNotice, kMbAlert);
    return 0;
  }

  serverFiles = std::move(outcome.files);
  for (const TransferItem& item : serverFiles) view.AddServerRow(item.fileName);
  view.SetServerListStyle(kServerListStyle);
  view.StopBusyPopup();
  return static_cast<int>(serverFiles.size());
}

int SearchAllFiles(ReceiveParameters& parameters, FileListView& view,
                   std::vector<TransferItem>& serverFiles, const ExchangeTimeouts& timeouts,
                   const ServerPins& pins) {
  std::string shown = view.DateText();
  if (shown.size() > kShortTextSize - 1) shown.resize(kShortTextSize - 1);
  view.SetDateText(kSearchAllDate);
  const int count = QueryFileList(parameters, view, serverFiles, timeouts, pins);
  view.SetDateText(shown);
  return count;
}

}  // namespace dovrel
