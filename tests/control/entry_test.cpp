// The receive session entry: options to working values, cutting at buffers,
// the defaults, the server name check and the order of the session's steps.
#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <string>
#include <vector>

#include "base/ansi_text.h"
#include "control/receive_session.h"
#include "control/server_name_check.h"
#include "control/session_values.h"
#include "net/wire_text.h"

namespace dovrel {
namespace {

std::tm Day(int year, int month, int day) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = 23;
  return t;
}

std::string Pairs(int count) {  // "K1=1&K2=2&...", then the caller's pair
  std::string text;
  for (int i = 1; i <= count; ++i) text += "K" + std::to_string(i) + "=" + std::to_string(i) + "&";
  return text;
}

struct OptionCase {
  const char* what;
  std::string options;
  const char* server;
  int port;
  const char* date;
  std::string user;
};

TEST(SessionOptions, KeysDefaultsAndConversions) {
  const std::string a126(126, 'a');
  const std::string a125(125, 'a');
  const std::string gim = "\xB1\xE8";  // one Korean syllable in code page 949
  const OptionCase cases[] = {
      {"no options", "", kDefaultServerAddress, 41900, "20261208", ""},
      {"key-less text", "&&", kDefaultServerAddress, 41900, "20261208", ""},
      {"all four", "DATE=20240105&CONNECTIP=10.1.2.3&CONNECTPORT=8080&USERID=u01", "10.1.2.3", 8080,
       "20240105", "u01"},
      {"mixed-case keys", "date=20240105&ConnectPort=9&connectip=h&UserId=x", "h", 9, "20240105",
       "x"},
      {"a key given twice", "USERID=first&OTHER=1&USERID=second", kDefaultServerAddress, 41900,
       "20261208", "second"},
      {"the twenty-first pair", Pairs(20) + "USERID=late", kDefaultServerAddress, 41900, "20261208",
       ""},
      {"the twentieth pair", Pairs(19) + "USERID=last", kDefaultServerAddress, 41900, "20261208",
       "last"},
      {"port 0", "CONNECTPORT=0", kDefaultServerAddress, 41900, "20261208", ""},
      {"port without digits", "CONNECTPORT=xyz", kDefaultServerAddress, 41900, "20261208", ""},
      {"port 8080xyz", "CONNECTPORT=8080xyz", kDefaultServerAddress, 8080, "20261208", ""},
      {"negative port", "CONNECTPORT=-5", kDefaultServerAddress, -5, "20261208", ""},
      {"oversized port", "CONNECTPORT=99999999999", kDefaultServerAddress, INT_MAX, "20261208", ""},
      {"blanks before the port", "CONNECTPORT=+%2012", kDefaultServerAddress, 12, "20261208", ""},
      {"empty date", "DATE=", kDefaultServerAddress, 41900, "20261208", ""},
      {"short date kept", "DATE=2024", kDefaultServerAddress, 41900, "2024", ""},
      {"empty server", "CONNECTIP=", "", 41900, "20261208", ""},
      {"encoded Korean user", "USERID=%B1%E8+a", kDefaultServerAddress, 41900, "20261208",
       gim + " a"},
      {"cut before a split pair", "USERID=" + a126 + "%B1%E8", kDefaultServerAddress, 41900,
       "20261208", a126},
      {"a pair that just fits", "USERID=" + a125 + "%B1%E8", kDefaultServerAddress, 41900,
       "20261208", a125 + gim},
      {"long date cut", "DATE=" + std::string(300, '1'), kDefaultServerAddress, 41900,
       "1111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111"
       "111111111111111111111111111111111111",
       ""},
  };
  for (const OptionCase& c : cases) {
    SessionValues values;
    InitialSessionValues(&values);
    ReadSessionOptions(c.options.data(), c.options.size(), &values);
    ApplySessionDefaults(Day(2026, 12, 8), &values);
    EXPECT_STREQ(values.serverText, c.server) << c.what;
    EXPECT_EQ(values.serverPort, c.port) << c.what;
    EXPECT_STREQ(values.searchDate, c.date) << c.what;
    EXPECT_EQ(std::string(values.userId), c.user) << c.what;
  }
}

TEST(SessionOptions, TodayInLocalCalendar) {
  const struct {
    std::tm now;
    const char* date;
  } cases[] = {
      {Day(2026, 1, 1), "20260101"}, {Day(2026, 12, 31), "20261231"}, {Day(999, 2, 3), "09990203"}};
  for (const auto& c : cases) {
    char date[kShortTextSize];
    FormatSearchDate(c.now, date, sizeof date);
    EXPECT_STREQ(date, c.date);
  }
}

TEST(ServerNameCheck, DottedNamesAndFailures) {
  char text[kResolutionTextSize];
  EXPECT_EQ(entry::ResolveServerAddress("127.0.0.1", text, sizeof text), 0);
  EXPECT_STREQ(text, "127.0.0.1");
  EXPECT_EQ(entry::ResolveServerAddress("localhost", text, sizeof text), 0);
  EXPECT_STREQ(text, "127.0.0.1");

  const int code = entry::ResolveServerAddress("no-such-host.invalid", text, sizeof text);
  EXPECT_TRUE(code == 11001 || code == 11002) << code;
  EXPECT_STREQ(text, entry::ResolutionErrorText(code));
  EXPECT_EQ(entry::ResolveServerAddress("", text, sizeof text), 11001);
  EXPECT_STREQ(text, "Authoritative answer host not found");
}

// Records what the session asked of its platform, in order.
class FakePlatform : public SessionPlatform {
 public:
  int ResolveServer(const char* name, char* text, std::size_t capacity) override {
    calls.push_back(std::string("resolve ") + name);
    if (std::string(name) == "bank.example") {
      CopyAnsiText(text, capacity, "10.0.0.7");
      return 0;
    }
    CopyAnsiText(text, capacity, "Authoritative answer host not found");
    return 11001;
  }
  void ShowConnectFailure(const char* text) override {
    calls.push_back(std::string("box ") + text);
  }
  int LoadFolder(char* buffer, std::size_t size) override {
    calls.push_back("load");
    CopyAnsiText(buffer, size, stored.c_str());
    return stored.empty() ? 0 : -1;
  }
  int SaveFolder(const char* text) override {
    calls.push_back(std::string("save ") + text);
    return -1;
  }
  int PromptFolder(const char* initial, char* folder, std::size_t capacity) override {
    calls.push_back(std::string("prompt [") + initial + "]");
    CopyAnsiText(folder, capacity, chosen.c_str());
    return promptEnd;
  }
  void RunReceiveWindow(const ReceiveParameters& p, bool mayStoreFolder) override {
    if (nested) {  // the page calls again while this session's window is open
      const std::string options = std::exchange(nested, nullptr);
      calls.push_back("nested " +
                      std::to_string(RunReceiveSession(options.data(), options.size(), *this)));
    }
    calls.push_back("window " + FieldText(p.receiveFolder) + "|" + FieldText(p.searchDate) + "|" +
                    FieldText(p.serverAddress) + "|" + std::to_string(p.serverPort) + "|" +
                    FieldText(p.userId) + (mayStoreFolder ? "" : " (change not stored)"));
  }
  std::tm LocalNow() override { return Day(2026, 12, 8); }
  PageAddresses Page() override { return page; }
  SiteLists AllowedSites() override { return sites; }
  void ShowSiteRefused(const char* text) override {
    calls.push_back(std::string("refused ") + text);
  }
  bool BelowMediumIntegrity() override { return belowMedium; }
  void ShowProtectedModeNotice() override { calls.push_back("notice"); }

  PageAddresses page;
  SiteLists sites;
  bool belowMedium = false;
  std::string stored;
  std::string chosen = "C:\\Pay";
  int promptEnd = 1;
  const char* nested = nullptr;
  std::vector<std::string> calls;
};

TEST(ReceiveSession, StepsInOrder) {
  const std::string options = "CONNECTIP=bank.example&USERID=u01";
  const struct {
    const char* what;
    std::string options;
    std::string stored;
    int promptEnd;
    int status;
    std::vector<std::string> calls;
    bool belowMedium = false;
  } cases[] = {
      {"unresolvable server",
       "CONNECTIP=nowhere&CONNECTPORT=1",
       "C:\\Stored",
       1,
       0,
       {"resolve nowhere", "box nowhere" + AnsiText(" 접속에 실패하였습니다") +
                               "\n(Authoritative answer host not found)"}},
      {"stored folder",
       options,
       "C:\\Stored",
       1,
       1,
       {"resolve bank.example", "load", "window C:\\Stored|20261208|10.0.0.7|41900|u01"}},
      {"no stored folder",
       options,
       "",
       1,
       1,
       {"resolve bank.example", "load", "prompt []", "save C:\\Pay",
        "window C:\\Pay|20261208|10.0.0.7|41900|u01"}},
      {"prompt cancelled",
       options,
       "",
       2,
       1,
       {"resolve bank.example", "load", "prompt []", "window |20261208|10.0.0.7|41900|u01"}},
      {"below medium integrity, no stored folder",
       options,
       "",
       1,
       1,
       {"resolve bank.example", "notice", "load", "prompt []",
        "window C:\\Pay|20261208|10.0.0.7|41900|u01 (change not stored)"},
       true},
      {"below medium integrity, unresolvable server",
       "CONNECTIP=nowhere",
       "",
       1,
       0,
       {"resolve nowhere", "box nowhere" + AnsiText(" 접속에 실패하였습니다") +
                               "\n(Authoritative answer host not found)"},
       true},
  };
  for (const auto& c : cases) {
    FakePlatform platform;
    platform.stored = c.stored;
    platform.promptEnd = c.promptEnd;
    platform.belowMedium = c.belowMedium;
    EXPECT_EQ(RunReceiveSession(c.options.data(), c.options.size(), platform), c.status) << c.what;
    EXPECT_EQ(platform.calls, c.calls) << c.what;
  }
  FakePlatform outer;  // a nested session leaves the outer one's values alone
  outer.stored = "C:\\Stored";
  outer.nested = "CONNECTIP=bank.example&DATE=20240105&CONNECTPORT=7&USERID=inner";
  EXPECT_EQ(RunReceiveSession(options.data(), options.size(), outer), 1);
  EXPECT_EQ(outer.calls, (std::vector<std::string>{
                             "resolve bank.example", "load", "resolve bank.example", "load",
                             "window C:\\Stored|20240105|10.0.0.7|7|inner", "nested 1",
                             "window C:\\Stored|20261208|10.0.0.7|41900|u01"}));

  FakePlatform defaults;  // null options: the compiled-in server
  EXPECT_EQ(RunReceiveSession(nullptr, 0, defaults), 0);
  EXPECT_EQ(defaults.calls.front(), std::string("resolve ") + kDefaultServerAddress);
}

TEST(ReceiveSession, APageOffTheSiteListGetsTheBoxAndNothingElse) {
  const std::string options = "CONNECTIP=bank.example";
  FakePlatform refused;
  refused.sites.builtIn = "*.bank.example";
  refused.page.addresses = {"https://www.bank.example/pay", "https://evil.test/frame"};
  EXPECT_EQ(RunReceiveSession(options.data(), options.size(), refused), 0);
  EXPECT_EQ(refused.calls,
            (std::vector<std::string>{"refused evil.test" +
                                      AnsiText(" 사이트에서는 자료 수신을 사용할 수 없습니다") +
                                      "\n" + AnsiText("(허용되지 않은 사이트입니다)")}));

  FakePlatform allowed;
  allowed.sites.builtIn = "*.bank.example";
  allowed.stored = "C:\\Stored";
  allowed.page.addresses = {"https://www.bank.example/pay"};
  EXPECT_EQ(RunReceiveSession(options.data(), options.size(), allowed), 1);
  EXPECT_EQ(allowed.calls.front(), "resolve bank.example");
}

}  // namespace
}  // namespace dovrel
