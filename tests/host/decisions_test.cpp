// The host's decisions that need no process: framing and its bounds, who the
// caller is and whether the build names it, which origins pass, which
// requests are well formed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/caller.h"
#include "host/framing.h"
#include "host/messages.h"

namespace dovrel::host {
namespace {

class StringReader final : public ByteReader {
 public:
  explicit StringReader(std::string bytes) : bytes_(std::move(bytes)) {}
  // A byte at a time, as a pipe may hand them over.
  std::size_t Read(char* buffer, std::size_t size) override {
    if (at_ >= bytes_.size() || size == 0) return 0;
    buffer[0] = bytes_[at_++];
    return 1;
  }

 private:
  std::string bytes_;
  std::size_t at_ = 0;
};

std::string Head(std::uint32_t length) {
  std::string head(sizeof length, '\0');
  std::memcpy(head.data(), &length, sizeof length);
  return head;
}

struct FrameCase {
  const char* what;
  std::string input;
  ReadResult expected;
  std::size_t bodySize;
};

TEST(HostFraming, ReadsOneMessageWithinTheBound) {
  const std::vector<FrameCase> cases = {
      {"a message", Head(2) + "{}", ReadResult::kMessage, 2},
      {"the largest message", Head(kMaxIncoming) + std::string(kMaxIncoming, ' '),
       ReadResult::kMessage, kMaxIncoming},
      {"nothing", "", ReadResult::kEnd, 0},
      {"one byte over", Head(kMaxIncoming + 1), ReadResult::kTooLarge, 0},
      {"a length cut short", Head(2).substr(0, 3), ReadResult::kBroken, 0},
      {"a body cut short", Head(5) + "{}", ReadResult::kBroken, 0},
  };
  for (const FrameCase& c : cases) {
    StringReader in(c.input);
    std::string body;
    EXPECT_EQ(ReadFrame(in, &body), c.expected) << c.what;
    if (c.expected == ReadResult::kMessage) {
      EXPECT_EQ(body.size(), c.bodySize) << c.what;
    }
  }
}

TEST(HostFraming, NeverWritesOverTheBrowsersLimit) {
  EXPECT_EQ(MakeFrame("{}"), Head(2) + "{}");
  EXPECT_EQ(MakeFrame(std::string(kMaxOutgoing, ' ')).size(), kMaxOutgoing + 4);
  EXPECT_EQ(MakeFrame(std::string(kMaxOutgoing + 1, ' ')), "");
}

TEST(HostFraming, AFileListTooLongIsCutAndSaysSo) {
  const std::vector<std::string> few = {"a.txt", "b.txt"};
  EXPECT_EQ(FilesMessage(1, "20261208", few).find("truncated"), std::string::npos);
  const std::vector<std::string> many(20000, std::string(200, 'x'));
  const std::string cut = FilesMessage(1, "20261208", many);
  EXPECT_LE(cut.size(), kMaxOutgoing);
  EXPECT_NE(cut.find("\"truncated\":true"), std::string::npos);
}

constexpr char kChromeId[] = "chrome-extension://abcdefghijklmnopabcdefghijklmnop/";
constexpr char kFirefoxId[] = "receiver@dovrel.kr";
constexpr char kBuildList[] =
    "chrome-extension://abcdefghijklmnopabcdefghijklmnop/;receiver@dovrel.kr";

struct CallerCase {
  const char* what;
  std::vector<std::string> arguments;
  const char* extension;
  std::uintptr_t parentWindow;
  bool allowed;
};

TEST(HostCaller, TheBrowsersArgumentsNameTheExtensionTheBuildMustName) {
  const std::vector<CallerCase> cases = {
      {"Chrome", {kChromeId}, kChromeId, 0, true},
      {"Edge on Windows", {kChromeId, "--parent-window=1234"}, kChromeId, 1234, true},
      {"Firefox", {"C:\\hosts\\kr.dovrel.receiver.json", kFirefoxId}, kFirefoxId, 0, true},
      {"another Chrome extension",
       {"chrome-extension://ponmlkjihgfedcbaponmlkjihgfedcba/"},
       "chrome-extension://ponmlkjihgfedcbaponmlkjihgfedcba/",
       0,
       false},
      {"another add-on",
       {"/x/kr.dovrel.receiver.json", "evil@example.com"},
       "evil@example.com",
       0,
       false},
      {"a Chrome id out of a-p",
       {"chrome-extension://zbcdefghijklmnopabcdefghijklmnop/"},
       "",
       0,
       false},
      {"a Chrome id cut short", {"chrome-extension://abcdefghijklmnop/"}, "", 0, false},
      {"a list entry as a part", {"/x/m.json", "receiver@dovrel"}, "receiver@dovrel", 0, false},
      {"nothing", {}, "", 0, false},
      {"a manifest without an id", {"/x/kr.dovrel.receiver.json"}, "", 0, false},
      {"a parent window that is not a number",
       {kChromeId, "--parent-window=12x"},
       kChromeId,
       0,
       true},
  };
  for (const CallerCase& c : cases) {
    const Caller caller = IdentifyCaller(c.arguments);
    EXPECT_EQ(caller.extension, c.extension) << c.what;
    EXPECT_EQ(caller.parentWindow, c.parentWindow) << c.what;
    EXPECT_EQ(ExtensionAllowed(caller.extension, kBuildList), c.allowed) << c.what;
  }
  EXPECT_FALSE(ExtensionAllowed("", ";;")) << "an empty id never matches";
}

struct OriginCase {
  const char* what;
  const char* origin;
  PolicyValue policy;
  bool allowed;
  const char* refusalStart;
};

TEST(HostOrigin, ThePagesOriginPassesTheControlsSiteLock) {
  const PolicyValue none;
  const PolicyValue narrower{PolicyValue::State::kText, "www.bank.example"};
  const PolicyValue unreadable{PolicyValue::State::kUnreadable, ""};
  const std::vector<OriginCase> cases = {
      {"the bank's site", "https://bank.example", none, true, ""},
      {"a site below it", "https://www.bank.example", none, true, ""},
      {"plain http", "http://bank.example", none, false, "bank.example 사이트에서는"},
      {"another site", "https://evil.test", none, false, "evil.test 사이트에서는"},
      {"no origin", "", none, false, "(알 수 없음) 사이트에서는"},
      {"a policy that narrows", "https://bank.example", narrower, false, "bank.example"},
      {"a site the policy keeps", "https://www.bank.example", narrower, true, ""},
      {"an unreadable policy", "https://bank.example", unreadable, false, "bank.example"},
  };
  for (const OriginCase& c : cases) {
    SiteLists sites{"bank.example;*.bank.example", c.policy};
    std::string refusal;
    EXPECT_EQ(OriginAllowed(c.origin, sites, &refusal), c.allowed) << c.what;
    EXPECT_EQ(refusal.rfind(c.refusalStart, 0), 0u) << c.what << ": " << refusal;
  }
}

struct RequestCase {
  const char* what;
  const char* body;
  bool valid;
  bool hasId;
};

TEST(HostRequests, OnlyWellFormedRequestsAreTaken) {
  const std::vector<RequestCase> cases = {
      {"a list", R"({"id":1,"type":"list","origin":"https://bank.example","options":"DATE=1"})",
       true, true},
      {"a receive of some files", R"({"id":2,"type":"receive","origin":"o","files":["a"]})", true,
       true},
      {"not JSON", "{\"id\":1,", false, false},
      {"not an object", "[1]", false, false},
      {"no id", R"({"type":"list","origin":"o"})", false, false},
      {"an id that is text", R"({"id":"1","type":"list","origin":"o"})", false, false},
      {"an unknown type", R"({"id":3,"type":"format","origin":"o"})", false, true},
      {"no origin", R"({"id":4,"type":"list"})", false, true},
      {"options not text", R"({"id":5,"type":"list","origin":"o","options":7})", false, true},
      {"a file name not text", R"({"id":6,"type":"receive","origin":"o","files":[1]})", false,
       true},
  };
  for (const RequestCase& c : cases) {
    Request request;
    EXPECT_EQ(ParseRequest(c.body, &request), c.valid) << c.what;
    EXPECT_EQ(request.id.has_value(), c.hasId) << c.what;
  }
  Request some;
  ASSERT_TRUE(ParseRequest(R"({"id":2,"type":"receive","origin":"o","files":["a","b"]})", &some));
  EXPECT_FALSE(some.allFiles);
  EXPECT_EQ(some.files, (std::vector<std::string>{"a", "b"}));
}

TEST(HostRequests, RepliesEchoTheIdAsItCame) {
  EXPECT_NE(ErrorMessage(7, "busy", "x").find("\"id\":7,"), std::string::npos);
  EXPECT_NE(ErrorMessage(0.5, "busy", "x").find("\"id\":0.5"), std::string::npos);
  EXPECT_NE(ErrorMessage(std::nullopt, "too-large", "x").find("\"id\":null"), std::string::npos);
}

}  // namespace
}  // namespace dovrel::host
