#include "session/file_list_exchange.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/message.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/test_server.h"
#include "base/message_box.h"

namespace dovrel {
namespace {

using test::LoopbackPeer;
using test::PeerConnection;

const ExchangeTimeouts kShortTimeouts{2000, 2000, 2000, 2000};
constexpr char kOtherServerPin[] =
    "0000000000000000000000000000000000000000000000000000000000000001";

// A file server on 127.0.0.1 that answers each connection, in order, with the
// next scripted reply document (none: it closes without replying) and records
// every request it reads. Connections past the script are closed at once.
class ScriptedServer {
 public:
  explicit ScriptedServer(std::vector<std::optional<std::string>> replies)
      : replies_(std::move(replies)), peer_([this](PeerConnection& c) { Serve(c); }) {}

  int Port() const { return peer_.Port(); }
  std::vector<std::string> Requests() {
    peer_.Stop();  // all connections made so far have been served
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
  }

 private:
  void Serve(PeerConnection& c) {
    std::string request = c.ReadRequest();
    std::optional<std::string> reply;
    {
      std::lock_guard<std::mutex> hold(lock_);
      const std::size_t index = requests_.size();
      requests_.push_back(request);
      if (index < replies_.size()) reply = replies_[index];
    }
    if (!reply) return;  // closes without a reply
    c.SendReply(*reply);
    c.ReadReceipt();
  }

  std::mutex lock_;
  std::vector<std::optional<std::string>> replies_;
  std::vector<std::string> requests_;
  LoopbackPeer peer_;
};

// Records what the query does to the window, in order.
class RecordingView : public FileListView {
 public:
  explicit RecordingView(std::string date, const WireText& wire = PlatformWireText())
      : date_(std::move(date)), wire_(wire) {}

  std::string DateText() override { return date_; }
  void SetDateText(const std::string& text) override { date_ = text; }
  void FocusDateEdit() override { events.push_back("focus"); }
  void ClearServerRows() override {
    rows.clear();
    events.push_back("clear");
  }
  void AddServerRow(const char* wireName) override {
    rows.push_back(wireName);
    events.push_back(std::string("row ") + wireName);
  }
  void SetServerListStyle(unsigned long style) override {
    char text[32];
    std::snprintf(text, sizeof text, "style %#lx", style);
    events.push_back(text);
  }
  void StartBusyPopup(const char* text) override { events.push_back(std::string("start ") + text); }
  void StopBusyPopup() override { events.push_back("stop"); }
  void ShowMessage(const std::string& text, const char* caption, unsigned flags) override {
    char flagText[32];
    std::snprintf(flagText, sizeof flagText, "%#x", flags);
    events.push_back("box " + text + " | " + caption + " | " + flagText);
  }
  const WireText& Wire() const override { return wire_; }

  const std::string& date() const { return date_; }
  std::vector<std::string> events;
  std::vector<std::string> rows;

 private:
  std::string date_;
  const WireText& wire_;
};

std::string Reply(std::initializer_list<Element> elements) {
  char document[kFileListReplySize];
  const int length = BuildRequest(elements, document, sizeof document);
  return length < 0 ? std::string() : std::string(document, static_cast<std::size_t>(length));
}

std::string InitOk(const char* skey = "S-1") {
  return Reply({{"RESULT_CODE", "0"}, {"RESULT_MSG", ""}, {"SKEY", skey}});
}

std::string ListReply(const char* count, const char* list) {
  return Reply({{"RESULT_CODE", "0"}, {"FILE_COUNT", count}, {"FILE_LIST", list}});
}

std::string Box(const std::string& text, unsigned flags = kMbAlert) {
  char flagText[32];
  std::snprintf(flagText, sizeof flagText, "%#x", flags);
  return "box " + text + " | " + kCaptionNotice + " | " + flagText;
}

const std::string kStart = std::string("start ") + kFileListBusyText;

ReceiveParameters Parameters(int port) {
  ReceiveParameters parameters;
  SetFieldText(parameters.serverAddress, "127.0.0.1");
  parameters.serverPort = port;
  SetFieldText(parameters.userId, "user01");
  return parameters;
}

// A list from an earlier query, which every query past the date check drops.
std::vector<TransferItem> OldList() {
  std::vector<TransferItem> list(1);
  std::snprintf(list[0].fileName, sizeof list[0].fileName, "%s", "old.txt");
  return list;
}

std::vector<std::string> Names(const std::vector<TransferItem>& list) {
  std::vector<std::string> names;
  names.reserve(list.size());
  for (const TransferItem& item : list) names.push_back(item.fileName);
  return names;
}

// One query against a scripted server: what it returned, showed and sent.
struct QueryRun {
  int listed;
  RecordingView view;
  ReceiveParameters parameters;
  std::vector<TransferItem> list;
  std::vector<std::string> requests;
};

QueryRun RunQuery(std::vector<std::optional<std::string>> replies,
                  std::vector<TransferItem> list = {}, const std::string& date = "20240102") {
  ScriptedServer server(std::move(replies));
  QueryRun run{0, RecordingView(date), Parameters(server.Port()), std::move(list), {}};
  run.listed = QueryFileList(run.parameters, run.view, run.list, kShortTimeouts);
  run.requests = server.Requests();
  return run;
}

// An element of the second request, GETLIST: the query must have sent two.
std::optional<std::string> ListRequestElement(const std::vector<std::string>& requests,
                                              const char* name) {
  EXPECT_EQ(requests.size(), 2u);
  if (requests.size() != 2) return "(no GETLIST request)";
  const std::optional<std::string_view> text = FindElementText(requests[1], name);
  return text ? std::optional<std::string>(*text) : std::nullopt;
}

// ---- pure helpers ----------------------------------------------------------

TEST(SplitFileListTest, SeparatorRunsCountAsOneAndNamesStandAsSent) {
  struct Case {
    const char* text;
    std::size_t maximum;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"a.txt|b.txt|c.txt|d.txt", 3, {"a.txt", "b.txt", "c.txt"}},
      {"|a.txt||b.txt|", 10, {"a.txt", "b.txt"}},
      {"a.txt", 1, {"a.txt"}},
      {"", 5, {}},
      {"|||", 5, {}},
      {"x|y", 0, {}},
      {" a b |\r\nc", 5, {" a b ", "\r\nc"}},
      {"||x||y||z||", 2, {"x", "y"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> names;
    for (std::string_view name : SplitFileList(c.text, c.maximum)) names.emplace_back(name);
    EXPECT_EQ(names, c.expected) << c.text;
  }
}

TEST(FormatServerErrorTest, CodeHasAtLeastFourDigits) {
  const std::string head = "메세지 수신중 다음과 같은 오류가 발생하였습니다\n 에러코드 : ";
  const std::string tail = "\n 에러메세지 : ";
  const std::pair<std::int32_t, const char*> cases[] = {
      {7, "0007"}, {-5, "-005"}, {12, "0012"}, {12345, "12345"}, {-1234, "-1234"}};
  for (const auto& [code, shown] : cases) {
    EXPECT_EQ(FormatServerError(code, "사용자 없음"), head + shown + tail + "사용자 없음");
  }
}

// ---- the query against a scripted server -----------------------------------

TEST(QueryFileListTest, FillsRowsWithTheNamesUpToFileCount) {
  const QueryRun run =
      RunQuery({InitOk("S-1"), ListReply("3", "a.txt|b.txt|c.txt|d.txt")}, OldList());
  EXPECT_EQ(run.listed, 3);

  EXPECT_EQ(Names(run.list), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  for (const TransferItem& item : run.list) {
    EXPECT_EQ(item.localPath[0], '\0');
    EXPECT_EQ(item.done, 0);
  }
  EXPECT_EQ(run.view.events, (std::vector<std::string>{"clear", kStart, "row a.txt", "row b.txt",
                                                       "row c.txt", "style 0x425", "stop"}));
  EXPECT_STREQ(run.parameters.searchDate, "20240102");

  const std::vector<std::string>& requests = run.requests;
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], Reply({{"SERVICE_CODE", "INIT"}}));
  EXPECT_EQ(requests[1], Reply({{"SERVICE_CODE", "GETLIST"},
                                {"SKEY", "S-1"},
                                {"USERID", "user01"},
                                {"DATE", "20240102"}}));
}

// FILE_COUNT bounds the list, but only names present, each short enough for a
// path, become rows.
TEST(QueryFileListTest, ListsOnlyTheNamesPresentThatFitAPath) {
  const std::string longest(259, 'l');
  const std::string tooLong(260, 't');
  const struct {
    const char* label;
    std::string count, list;
    std::vector<std::string> names;
  } cases[] = {
      {"fewer names than FILE_COUNT", "5", "|a.txt||b.txt|", {"a.txt", "b.txt"}},
      {"a huge FILE_COUNT allocates only for the names present",
       "99999999999999999999",
       "a.txt|b.txt",
       {"a.txt", "b.txt"}},
      {"names too long for a path are left out",
       "3",
       longest + "|" + tooLong + "|c.txt",
       {longest, "c.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const QueryRun run = RunQuery({InitOk(), ListReply(c.count.c_str(), c.list.c_str())});
    EXPECT_EQ(run.listed, static_cast<int>(c.names.size()));
    EXPECT_EQ(run.list.size(), c.names.size());
    EXPECT_EQ(Names(run.list), c.names);
    EXPECT_EQ(run.view.rows, c.names);
  }
}

TEST(QueryFileListTest, ResultCodeOkReadsAsZero) {
  const QueryRun run =
      RunQuery({Reply({{"RESULT_CODE", "OK"}, {"SKEY", ""}}),
                Reply({{"RESULT_CODE", " OK"}, {"FILE_COUNT", "1"}, {"FILE_LIST", "a.txt"}})});
  EXPECT_EQ(run.listed, 1);
  EXPECT_EQ(ListRequestElement(run.requests, "SKEY").value_or("absent"), "");
}

struct FailureCase {
  const char* label;
  std::vector<std::optional<std::string>> replies;
  std::string message;
  std::size_t requests;
};

std::string CodeMessage(const char* code, const char* text) {
  return FormatServerError(ParseLeadingInteger(code), text);
}

std::vector<FailureCase> FailureCases() {
  const std::string noList = Reply({{"RESULT_CODE", "0"}, {"FILE_COUNT", "2"}});
  return {
      {"init closed", {std::nullopt}, kNoConnectionText, 1},
      {"init empty reply", {std::string()}, kNoResultCodeText, 1},
      {"init code absent", {Reply({{"SKEY", "S-1"}})}, kNoResultCodeText, 1},
      {"init code lower case",
       {std::string("<MORVANTA_XML><result_code>0</result_code><SKEY>S</SKEY></MORVANTA_XML>")},
       kNoResultCodeText,
       1},
      {"init code 7",
       {Reply({{"RESULT_CODE", "7"}, {"RESULT_MSG", "busy"}, {"SKEY", "S"}})},
       CodeMessage("7", "busy"),
       1},
      {"init code -5 without message", {Reply({{"RESULT_CODE", "-5"}})}, CodeMessage("-5", ""), 1},
      {"init skey absent", {Reply({{"RESULT_CODE", "0"}})}, kNoSkeyText, 1},
      {"init skey too long", {InitOk(std::string(128, 'k').c_str())}, kNoSkeyText, 1},
      {"list closed", {InitOk(), std::nullopt}, kNoConnectionText, 2},
      {"list code absent",
       {InitOk(), Reply({{"FILE_COUNT", "1"}, {"FILE_LIST", "a"}})},
       kNoResultCodeText,
       2},
      {"list code 12",
       {InitOk(), Reply({{"RESULT_CODE", "12"}, {"RESULT_MSG", "no user"}})},
       CodeMessage("12", "no user"),
       2},
      {"list count absent",
       {InitOk(), Reply({{"RESULT_CODE", "0"}, {"FILE_LIST", "a"}})},
       kNoFileCountText,
       2},
      {"list count 0", {InitOk(), ListReply("0", "a.txt")}, kNoFilesText, 2},
      {"list count negative", {InitOk(), ListReply("-3", "a.txt")}, kNoFilesText, 2},
      {"list count not a number", {InitOk(), ListReply("abc", "a.txt")}, kNoFilesText, 2},
      {"list absent", {InitOk(), noList}, kNoFileListText, 2},
      {"list of separators only", {InitOk(), ListReply("2", "||")}, kNoFilesText, 2},
  };
}

TEST(QueryFileListTest, EveryFailureStopsThePopupOnceThenShowsItsMessage) {
  for (const FailureCase& c : FailureCases()) {
    SCOPED_TRACE(c.label);
    const QueryRun run = RunQuery(c.replies, OldList());
    EXPECT_EQ(run.listed, 0);
    EXPECT_TRUE(run.list.empty());
    EXPECT_EQ(run.view.events, (std::vector<std::string>{"clear", kStart, "stop", Box(c.message)}));
    EXPECT_EQ(run.requests.size(), c.requests);
  }
}

TEST(QueryFileListTest, ServerMessageIsShownInUtf8) {
  // "자료 없음" (no data) as the server sends it, in code page 949.
  const char* cp949Message = "\xC0\xDA\xB7\xE1 \xBE\xF8\xC0\xBD";
  const QueryRun run = RunQuery({Reply({{"RESULT_CODE", "3"}, {"RESULT_MSG", cp949Message}})});
  EXPECT_EQ(run.listed, 0);
  ASSERT_FALSE(run.view.events.empty());
  EXPECT_EQ(run.view.events.back(), Box(FormatServerError(3, "자료 없음")));
}

TEST(QueryFileListTest, OverlongServerMessageIsCut) {
  const std::string message(20000, 'm');
  const QueryRun run = RunQuery({Reply({{"RESULT_CODE", "9"}, {"RESULT_MSG", message.c_str()}})});
  EXPECT_EQ(run.listed, 0);
  EXPECT_EQ(run.view.events.back(),
            Box(FormatServerError(9, std::string(kServerMessageLimit, 'm'))));
}

TEST(QueryFileListTest, NoServerListeningCannotConnect) {
  RecordingView view("20240102");
  ReceiveParameters parameters = Parameters(test::UnusedLoopbackPort());
  std::vector<TransferItem> list = OldList();
  EXPECT_EQ(QueryFileList(parameters, view, list, kShortTimeouts), 0);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(view.events,
            (std::vector<std::string>{"clear", kStart, "stop", Box(kNoConnectionText)}));
}

TEST(QueryFileListTest, DateOfOtherThanEightCharactersSendsNothingAndKeepsTheList) {
  const std::string dates[] = {"2024010", "202401021", "", std::string(200, '2')};
  for (const std::string& date : dates) {
    SCOPED_TRACE(date);
    const QueryRun run = RunQuery({InitOk(), ListReply("1", "a.txt")}, OldList(), date);
    EXPECT_EQ(run.listed, 0);
    EXPECT_EQ(Names(run.list), std::vector<std::string>{"old.txt"});
    EXPECT_EQ(run.view.events, (std::vector<std::string>{"focus", Box(kBadDateText, kMbOk)}));
    EXPECT_EQ(FieldText(run.parameters.searchDate), date.substr(0, 127));
    EXPECT_TRUE(run.requests.empty());
  }
}

TEST(QueryFileListTest, EightLettersPassTheDateCheck) {
  const QueryRun run = RunQuery({InitOk(), ListReply("1", "a.txt")}, {}, "abcdefgh");
  EXPECT_EQ(run.listed, 1);
  EXPECT_EQ(ListRequestElement(run.requests, "DATE").value_or(""), "abcdefgh");
}

TEST(QueryFileListTest, SearchAllSendsZerosAndRestoresTheDateBox) {
  ScriptedServer server({InitOk(), ListReply("1", "a.txt")});
  RecordingView view("2024");  // would fail the date check on its own
  ReceiveParameters parameters = Parameters(server.Port());
  std::vector<TransferItem> list;
  EXPECT_EQ(SearchAllFiles(parameters, view, list, kShortTimeouts), 1);
  EXPECT_EQ(view.date(), "2024");
  EXPECT_STREQ(parameters.searchDate, kSearchAllDate);
  EXPECT_EQ(ListRequestElement(server.Requests(), "DATE").value_or(""), "00000000");
}

#ifndef _WIN32
TEST(QueryFileListTest, AServerThePinsDoNotAdmitIsNeverToldTheUserId) {
  test::TestServer server("plain");
  ASSERT_TRUE(server.Ready()) << server.Error();
  const std::string own = server.Pins();
  const struct {
    std::string pins;
    bool admitted;
  } cases[] = {{own, true}, {own.substr(own.find(';') + 1), true}, {kOtherServerPin, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pins);
    RecordingView view(test::kSampleDate);
    ReceiveParameters parameters = Parameters(server.Port());
    std::vector<TransferItem> list;
    const int listsBefore = server.CountRequests("GETLIST");
    const int listed =
        QueryFileList(parameters, view, list, kShortTimeouts, ParseServerPins(c.pins));
    const int listsAfter = server.CountRequests("GETLIST");
    EXPECT_EQ(listed > 0, c.admitted);
    EXPECT_EQ(listsAfter, listsBefore + (c.admitted ? 1 : 0));
    if (!c.admitted) {
      EXPECT_EQ(view.events.back(), Box(kNoConnectionText));
    }
  }
}
#endif

}  // namespace
}  // namespace dovrel
