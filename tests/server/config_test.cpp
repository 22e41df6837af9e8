// Fault switches, the command line and the session table.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/command_line.h"
#include "server/faults.h"
#include "server/printable_text.h"
#include "server/session_table.h"
#include "server/warning_rate.h"

namespace dovrel::server {
namespace {

TEST(ServerFaultTest, ParsesEachKind) {
  const struct {
    std::string text;
    std::string service;
    FaultKind kind;
    std::string element, code;
    std::int64_t amount;
  } cases[] = {
      {"INIT:omit:SKEY", "INIT", FaultKind::kOmit, "SKEY", "", -1},
      {"get:empty:enc_data", "GET", FaultKind::kEmpty, "ENC_DATA", "", -1},
      {"GETLIST:code:0009", "GETLIST", FaultKind::kCode, "", "0009", -1},
      {"GETLIST:code:", "GETLIST", FaultKind::kCode, "", "", -1},
      {"KEYEXCHG:delay:1500", "KEYEXCHG", FaultKind::kDelay, "", "", 1500},
      {"GET:withhold", "GET", FaultKind::kWithhold, "", "", -1},
      {"GET:truncate", "GET", FaultKind::kTruncate, "", "", -1},
      {"GET:truncate:10", "GET", FaultKind::kTruncate, "", "", 10},
      {"TERMINATE:overannounce:7", "TERMINATE", FaultKind::kOverannounce, "", "", 7},
      {"TERMINATE:refuse", "TERMINATE", FaultKind::kRefuse, "", "", -1},
      {"GET:announce:4294967295", "GET", FaultKind::kAnnounce, "", "", 4294967295},
      {"GET:stall", "GET", FaultKind::kStall, "", "", -1},
      {"GET:stall:100", "GET", FaultKind::kStall, "", "", 100},
      {"INIT:trickle:0", "INIT", FaultKind::kTrickle, "", "", 0},
      {"GET:double:result_code:0001", "GET", FaultKind::kDouble, "RESULT_CODE", "0001", -1},
      {"GET:unterminate:ENC_DATA", "GET", FaultKind::kUnterminate, "ENC_DATA", "", -1},
      {"GET:zero:enc_data", "GET", FaultKind::kZero, "ENC_DATA", "", -1},
      {"GETLIST:value:FILE_LIST:a%7C..%5Cb:c", "GETLIST", FaultKind::kValue, "FILE_LIST",
       "a|..\\b:c", -1},
      {"INIT:long:SKEY:5000", "INIT", FaultKind::kLong, "SKEY", "", 5000},
      {"GET:encdata:cipher:aes256", "GET", FaultKind::kEncData, "cipher", "aes256", -1},
      {"GET:encdata:plain:a%00b", "GET", FaultKind::kEncData, "plain", std::string("a\0b", 3), -1},
  };
  for (const auto& c : cases) {
    std::string error;
    const std::optional<Fault> fault = ParseFault(c.text, &error);
    ASSERT_TRUE(fault.has_value()) << c.text << ": " << error;
    EXPECT_EQ(fault->service, c.service) << c.text;
    EXPECT_EQ(fault->kind, c.kind) << c.text;
    EXPECT_EQ(fault->element, c.element) << c.text;
    EXPECT_EQ(fault->code, c.code) << c.text;
    EXPECT_EQ(fault->amount, c.amount) << c.text;
  }
}

TEST(ServerFaultTest, RefusesMalformedSwitches) {
  for (const char* text : {"",
                           "INIT",
                           "LOGIN:refuse",
                           "INIT:explode",
                           "INIT:omit",
                           "INIT:omit:",
                           "INIT:code",
                           "INIT:delay",
                           "INIT:delay:-5",
                           "INIT:delay:abc",
                           "INIT:delay:99999999",
                           "INIT:refuse:1",
                           "GET:truncate:x",
                           "GET:announce",
                           "GET:announce:4294967296",
                           "GET:trickle:5000",
                           "GET:double:RESULT_CODE",
                           "GET:value::x",
                           "GET:long:SKEY",
                           "GET:long:SKEY:99999999",
                           "INIT:encdata:garbage",
                           "GET:encdata"}) {
    std::string error;
    EXPECT_FALSE(ParseFault(text, &error).has_value()) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(ServerFaultTest, ElementFaultsChangeOnlyTheirElements) {
  Reply reply;
  reply.Add("RESULT_CODE", "0000").Add("RESULT_MSG", "").Add("SKEY", "abc").Add("X", "y");
  std::string error;
  ApplyElementFaults({*ParseFault("INIT:omit:SKEY", &error), *ParseFault("INIT:empty:X", &error),
                      *ParseFault("INIT:code:0042", &error)},
                     &reply);
  ASSERT_EQ(reply.elements.size(), 3u);
  EXPECT_EQ(reply.elements[0].value, "0042");
  EXPECT_EQ(reply.elements[1].name, "RESULT_MSG");
  EXPECT_EQ(reply.elements[2].name, "X");
  EXPECT_EQ(reply.elements[2].value, "");
}

TEST(ServerFaultTest, ShapeFaultsRewriteTheDocument) {
  Reply reply;
  reply.Add("RESULT_CODE", "0000").Add("FILE_LIST", "a.txt");
  std::string error;
  ApplyElementFaults({*ParseFault("GETLIST:double:RESULT_CODE:9999", &error),
                      *ParseFault("GETLIST:unterminate:FILE_LIST", &error),
                      *ParseFault("GETLIST:zero:FILE_LIST", &error),
                      *ParseFault("GETLIST:value:FILE_COUNT:-3", &error),
                      *ParseFault("GETLIST:long:RESULT_MSG:4", &error)},
                     &reply);
  ReplyReader reader(&reply);
  std::string document(reply.Length(), '\0');
  ASSERT_EQ(reader.Read(document.data(), document.size()),
            static_cast<std::ptrdiff_t>(document.size()));
  EXPECT_NE(document.find(
                std::string("<RESULT_CODE>0000</RESULT_CODE><RESULT_CODE>9999</RESULT_CODE>") +
                '\0' + "<FILE_LIST>a.txt<FILE_COUNT>-3</FILE_COUNT><RESULT_MSG>AAAA</RESULT_MSG>"),
            std::string::npos)
      << document;
}

TEST(ServerCommandLineTest, ReadsEveryOption) {
  CommandLine commandLine;
  std::string error;
  ASSERT_TRUE(ParseCommandLine(
      {"--root", "/srv/files", "--bind=0.0.0.0", "--port", "0", "--cert", "c.pem", "--key", "k.pem",
       "--state", "/var/lib/x", "--charset", "EUC-KR", "--max-connections", "4",
       "--max-connections-per-peer=2", "--fault", "GET:refuse", "--fault=INIT:omit:SKEY"},
      &commandLine, &error))
      << error;
  const FileServerOptions& options = commandLine.options;
  EXPECT_EQ(options.root, "/srv/files");
  EXPECT_EQ(options.bindAddress, "0.0.0.0");
  EXPECT_EQ(options.port, 0);
  EXPECT_EQ(options.certificateFile, "c.pem");
  EXPECT_EQ(options.keyFile, "k.pem");
  EXPECT_EQ(options.stateDir, "/var/lib/x");
  EXPECT_EQ(options.wireCharset, "EUC-KR");
  EXPECT_EQ(options.maxConnections, 4);
  EXPECT_EQ(options.maxConnectionsPerPeer, 2);
  ASSERT_EQ(options.faults.size(), 2u);
  EXPECT_EQ(options.faults[1].element, "SKEY");
  EXPECT_FALSE(commandLine.help);
}

TEST(ServerCommandLineTest, DefaultsAndHelp) {
  CommandLine commandLine;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"--root", "r"}, &commandLine, &error));
  EXPECT_EQ(commandLine.options.port, 41900);
  EXPECT_EQ(commandLine.options.bindAddress, "127.0.0.1");
  EXPECT_FALSE(commandLine.options.traceRequests);
  CommandLine traced;
  ASSERT_TRUE(ParseCommandLine({"--root", "r", "--trace-requests"}, &traced, &error));
  EXPECT_TRUE(traced.options.traceRequests);
  CommandLine help;
  ASSERT_TRUE(ParseCommandLine({"--help"}, &help, &error));
  EXPECT_TRUE(help.help);
  EXPECT_NE(UsageText().find("--root DIR"), std::string::npos);
}

TEST(ServerCommandLineTest, RefusesWhatItDoesNotUnderstand) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--port", "80"},
      {"--root"},
      {"--root", "r", "--port", "65536"},
      {"--root", "r", "--port", "-1"},
      {"--root", "r", "--port", "http"},
      {"--root", "r", "--fault", "INIT:bogus"},
      {"--root", "r", "--max-connections", "0"},
      {"--root", "r", "--verbose"},
      {"--root", "r", "extra"},
  };
  for (const auto& arguments : cases) {
    CommandLine commandLine;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(arguments, &commandLine, &error))
        << ::testing::PrintToString(arguments);
    EXPECT_FALSE(error.empty());
  }
}

class ServerSessionTableTest : public ::testing::Test {
 protected:
  Clock::time_point At(int seconds) const { return start_ + std::chrono::seconds(seconds); }
  SessionKeys Keys(unsigned char fill) {
    SessionKeys keys;
    keys.key.fill(fill);
    keys.iv.fill(fill);
    return keys;
  }
  // A session that has had its key exchange at `seconds`, and asked for a
  // file then when `fetch`.
  void OpenKeyed(SessionTable& table, const std::string& skey, int seconds, bool fetch) {
    table.Open(skey, At(seconds));
    ASSERT_TRUE(table.SetKeys(skey, Keys(1), At(seconds)));
    if (fetch) {
      ASSERT_TRUE(table.Keys(skey, At(seconds)).has_value());
    }
  }

  Clock::time_point start_ = Clock::now();
};

TEST_F(ServerSessionTableTest, KeysOnlyAfterTheKeyExchange) {
  SessionTable table(8, std::chrono::minutes(30), std::chrono::minutes(2));
  table.Open("s1", start_);
  EXPECT_FALSE(table.Keys("s1", start_).has_value());
  EXPECT_FALSE(table.SetKeys("unknown", Keys(1), start_));
  ASSERT_TRUE(table.SetKeys("s1", Keys(7), start_));
  ASSERT_TRUE(table.Keys("s1", start_).has_value());
  EXPECT_EQ(table.Keys("s1", start_)->key[3], 7);
  table.Close("s1");
  EXPECT_FALSE(table.Keys("s1", start_).has_value());
}

TEST_F(ServerSessionTableTest, ASessionThatAskedForNoFileExpiresSooner) {
  SessionTable table(8, std::chrono::minutes(30), std::chrono::minutes(2));
  table.Open("listed", At(0));
  OpenKeyed(table, "keyed", 0, false);
  OpenKeyed(table, "fetching", 0, true);
  EXPECT_TRUE(table.IsOpen("keyed", At(110)));
  EXPECT_FALSE(table.IsOpen("listed", At(130)));
  EXPECT_FALSE(table.Keys("keyed", At(130)).has_value());
  EXPECT_TRUE(table.Keys("fetching", At(20 * 60)).has_value());
  EXPECT_TRUE(table.Keys("fetching", At(40 * 60)).has_value());  // each use renews it
  EXPECT_FALSE(table.Keys("fetching", At(71 * 60)).has_value());
}

TEST_F(ServerSessionTableTest, StaysWithinItsCapacityDroppingTheLeastRecentlyUsed) {
  SessionTable table(3, std::chrono::minutes(30), std::chrono::minutes(30));
  table.Open("a", At(0));
  table.Open("b", At(1));
  table.Open("c", At(2));
  table.SetKeys("a", Keys(1), At(3));  // "a" is now the freshest
  table.Open("d", At(4));
  EXPECT_EQ(table.Size(), 3u);
  EXPECT_TRUE(table.Keys("a", At(5)).has_value());
  EXPECT_FALSE(table.SetKeys("b", Keys(1), At(5)));
  EXPECT_TRUE(table.SetKeys("d", Keys(1), At(5)));
}

TEST_F(ServerSessionTableTest, AFullTableMakesRoomByStandingThenLeastRecentUse) {
  SessionTable table(3, std::chrono::minutes(30), std::chrono::minutes(30));
  OpenKeyed(table, "fetched", 0, true);
  OpenKeyed(table, "keyed-old", 1, false);
  OpenKeyed(table, "keyed-new", 2, false);
  table.Open("new", At(3));  // every session has keys: the oldest that asked for no file goes
  EXPECT_FALSE(table.IsOpen("keyed-old", At(3)));
  for (int i = 0; i < 10; ++i) table.Open("flood" + std::to_string(i), At(4 + i));
  EXPECT_EQ(table.Size(), 3u);
  EXPECT_TRUE(table.IsOpen("fetched", At(20)));
  EXPECT_TRUE(table.IsOpen("keyed-new", At(20)));
  // Once every session has asked for a file, the least recently used goes.
  ASSERT_TRUE(table.Keys("keyed-new", At(20)).has_value());
  ASSERT_TRUE(table.SetKeys("flood9", Keys(1), At(21)));
  ASSERT_TRUE(table.Keys("flood9", At(21)).has_value());
  table.Open("late", At(22));
  EXPECT_FALSE(table.IsOpen("fetched", At(22)));
  EXPECT_TRUE(table.IsOpen("late", At(22)));
}

TEST(ServerWarningRateTest, OneLineAnIntervalStandingForEveryOccurrence) {
  const auto start = WarningRate::Clock::now();
  WarningRate rate(std::chrono::seconds(1));
  EXPECT_EQ(rate.Note(start), std::optional<std::size_t>(1));
  for (int i = 1; i <= 5; ++i)
    EXPECT_FALSE(rate.Note(start + std::chrono::milliseconds(100 * i)).has_value());
  EXPECT_FALSE(rate.Flush(start + std::chrono::milliseconds(900)).has_value());
  EXPECT_EQ(rate.Flush(start + std::chrono::milliseconds(1000)), std::optional<std::size_t>(5));
  EXPECT_FALSE(rate.Flush(start + std::chrono::seconds(5)).has_value());  // nothing untold
  EXPECT_EQ(rate.Note(start + std::chrono::seconds(5)), std::optional<std::size_t>(1));
}

TEST(ServerCommandLineTest, ReadsTheConnectionLimit) {
  CommandLine commandLine;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"--root", "r"}, &commandLine, &error));
  EXPECT_EQ(commandLine.options.connectionLimitMs, 600000);
  ASSERT_TRUE(
      ParseCommandLine({"--root", "r", "--connection-limit", "5000"}, &commandLine, &error));
  EXPECT_EQ(commandLine.options.connectionLimitMs, 5000);
  EXPECT_FALSE(ParseCommandLine({"--root", "r", "--connection-limit", "10"}, &commandLine, &error));
}

TEST(ServerPrintableTextTest, EscapesControlBytesAndBoundsTheLength) {
  EXPECT_EQ(PrintableText("GETLIST", 96), "GETLIST");
  EXPECT_EQ(PrintableText(std::string("a\nb\\c\0\xb0", 7), 96), "a\\x0ab\\\\c\\x00\\xb0");
  EXPECT_EQ(PrintableText(std::string(100, 'A'), 10), std::string(10, 'A') + "...");
  EXPECT_EQ(PrintableText("abc\n", 6), "abc...");  // "\x0a" would not fit whole
}

TEST(ServerSessionNameTest, IsThirtyTwoFreshHexDigits) {
  const std::string a = NewSessionName();
  const std::string b = NewSessionName();
  EXPECT_EQ(a.size(), 32u);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace dovrel::server
