// Each fault switch makes the server misbehave the way it says, and only for
// its own service. Also the frame rules: what the server closes on.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "net/socket.h"
#include "server/file_server.h"
#include "tests/server/server_test_support.h"

namespace dovrel::server::test {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

constexpr std::uint32_t kLoopback = 0x7F000001;

// What a client sees when it reads a reply frame without the Exchange's rules.
struct RawReply {
  bool gotLength = false;
  std::uint32_t announced = 0;
  std::string bytes;
  bool closedByServer = false;  // as opposed to: nothing more arrived in time
};

class RawClient {
 public:
  bool Connect(int port) { return socket_.Connect(kLoopback, port, 2000); }
  bool SendFrame(const std::string& document) { return SendBytes(RequestFrame(document)); }
  bool SendBytes(const std::string& bytes) {
    return socket_.Send(bytes.data(), static_cast<int>(bytes.size()), 2000) ==
           static_cast<int>(bytes.size());
  }
  // Reads the length, then whatever follows until the server closes, the
  // announced count has arrived, or `quietMs` pass without a byte.
  RawReply Read(int lengthWaitMs, int quietMs) {
    RawReply reply;
    unsigned char head[4];
    int got = 0;
    while (got < 4) {
      const int n = socket_.Receive(head + got, 4 - got, lengthWaitMs);
      if (n <= 0) {
        reply.closedByServer = n < 0;
        return reply;
      }
      got += n;
    }
    reply.gotLength = true;
    reply.announced = ReadBigEndian32(head);
    char buffer[4096];
    while (reply.bytes.size() < reply.announced) {
      const int n = socket_.Receive(buffer, sizeof buffer, quietMs);
      if (n <= 0) {
        reply.closedByServer = n < 0;
        break;
      }
      reply.bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return reply;
  }
  // True when the server closes within `ms` (a read ends with -1).
  bool ClosedWithin(int ms) {
    char byte;
    return socket_.Receive(&byte, 1, ms) < 0;
  }
  void Close() { socket_.Close(); }

 private:
  ClientSocket socket_;
};

class ServerFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Write("20240102/a.txt", "contents of a");
    folder_.Write("20240102/b.txt", "b");
    ASSERT_TRUE(Started(TestOptions(folder_.Text(), &warnings_), &server_));
  }

  void Switch(const std::string& text) {
    std::string error;
    std::optional<Fault> fault = ParseFault(text, &error);
    ASSERT_TRUE(fault) << error;
    server_->AddFault(*fault);
  }

  std::string GetListRequest() {
    return Request(
        {{"SERVICE_CODE", "GETLIST"}, {"SKEY", "k"}, {"USERID", "u"}, {"DATE", "20240102"}});
  }

  // Connects `client` to the server and sends `document` as one request frame.
  ::testing::AssertionResult SendOnNewConnection(RawClient* client, const std::string& document) {
    if (!client->Connect(server_->Port())) return ::testing::AssertionFailure() << "cannot connect";
    if (!client->SendFrame(document))
      return ::testing::AssertionFailure() << "cannot send the request";
    return ::testing::AssertionSuccess();
  }

  TempFolder folder_;
  WarningLog warnings_;
  std::unique_ptr<FileServer> server_;
};

TEST_F(ServerFaultsTest, OmitLeavesTheElementOut) {
  Switch("INIT:omit:SKEY");
  const std::string reply = Call(server_->Port(), InitRequest()).reply;
  EXPECT_FALSE(ElementOf(reply, "SKEY"));
  EXPECT_TRUE(ElementOf(reply, "SERVER_SIGNED_DATA"));
  EXPECT_EQ(ElementOf(reply, "RESULT_CODE"), std::optional<std::string>("0000"));
}

TEST_F(ServerFaultsTest, EmptySendsTheElementWithoutText) {
  Switch("GETLIST:empty:FILE_LIST");
  const std::string reply = Call(server_->Port(), GetListRequest()).reply;
  EXPECT_NE(reply.find("<FILE_LIST></FILE_LIST>"), std::string::npos);
  EXPECT_EQ(ElementOf(reply, "FILE_COUNT"), std::optional<std::string>("2"));
}

TEST_F(ServerFaultsTest, EmptyAlsoEmptiesTheStreamedFileData) {
  std::string problem;
  const std::optional<OpenedSession> session = OpenSession(server_->Port(), &problem);
  ASSERT_TRUE(session) << problem;
  Switch("GET:empty:ENC_DATA");
  const std::string reply = Call(server_->Port(), Request({{"SERVICE_CODE", "GET"},
                                                           {"SKEY", session->skey.c_str()},
                                                           {"USERID", "u"},
                                                           {"FILE_NAME", "a.txt"}}))
                                .reply;
  EXPECT_EQ(ElementOf(reply, "ENC_DATA"), std::optional<std::string>(""));
  EXPECT_EQ(ElementOf(reply, "RESULT_CODE"), std::optional<std::string>("0000"));
}

TEST_F(ServerFaultsTest, CodeSetsTheResultCodeOfThatServiceOnly) {
  Switch("GETLIST:code:0012");
  EXPECT_EQ(ElementOf(Call(server_->Port(), GetListRequest()).reply, "RESULT_CODE"),
            std::optional<std::string>("0012"));
  EXPECT_EQ(ElementOf(Call(server_->Port(), InitRequest()).reply, "RESULT_CODE"),
            std::optional<std::string>("0000"));
  server_->ClearFaults();
  EXPECT_EQ(ElementOf(Call(server_->Port(), GetListRequest()).reply, "RESULT_CODE"),
            std::optional<std::string>("0000"));
}

TEST_F(ServerFaultsTest, AGetFaultThatNamesAFileAppliesToThatFileOnly) {
  Switch("GET=b.txt:code:0001");
  auto get = [](const char* name) {
    return Request({{"SERVICE_CODE", "GET"}, {"SKEY", "k"}, {"USERID", "u"}, {"FILE_NAME", name}});
  };
  EXPECT_EQ(ElementOf(Call(server_->Port(), get("b.txt")).reply, "RESULT_CODE"),
            std::optional<std::string>("0001"));
  EXPECT_NE(ElementOf(Call(server_->Port(), get("a.txt")).reply, "RESULT_CODE"),
            std::optional<std::string>("0001"));
  std::string error;
  EXPECT_FALSE(ParseFault("INIT=b.txt:code:0001", &error));
}

TEST_F(ServerFaultsTest, DelayHoldsBackTheReplyLength) {
  Switch("INIT:delay:700");
  const CallResult impatient = Call(server_->Port(), InitRequest(), {2000, 2000, 200, 2000});
  EXPECT_EQ(impatient.result, 0);  // the length did not come in time
  const auto start = SteadyClock::now();
  const CallResult patient = Call(server_->Port(), InitRequest());
  EXPECT_GE(SteadyClock::now() - start, milliseconds(650));
  EXPECT_TRUE(ElementOf(patient.reply, "SKEY"));
}

TEST_F(ServerFaultsTest, WithholdSaysNothingAndKeepsTheConnectionUntilTheClientCloses) {
  Switch("GETLIST:withhold");
  RawClient client;
  ASSERT_TRUE(SendOnNewConnection(&client, GetListRequest()));
  const RawReply reply = client.Read(600, 600);
  EXPECT_FALSE(reply.gotLength);
  EXPECT_FALSE(reply.closedByServer);
  EXPECT_FALSE(server_->WaitIdle(100));
  client.Close();
  EXPECT_TRUE(server_->WaitIdle(2000));
}

TEST_F(ServerFaultsTest, TruncateClosesAfterTheLengthAndSomeBytes) {
  Switch("GETLIST:truncate:25");
  RawClient client;
  ASSERT_TRUE(SendOnNewConnection(&client, GetListRequest()));
  const RawReply reply = client.Read(2000, 2000);
  ASSERT_TRUE(reply.gotLength);
  EXPECT_GT(reply.announced, 100u);
  EXPECT_EQ(reply.bytes.size(), 25u);
  EXPECT_TRUE(reply.closedByServer);
}

TEST_F(ServerFaultsTest, TruncateWithoutCountSendsHalf) {
  Switch("GETLIST:truncate");
  RawClient client;
  ASSERT_TRUE(SendOnNewConnection(&client, GetListRequest()));
  const RawReply reply = client.Read(2000, 2000);
  ASSERT_TRUE(reply.gotLength);
  EXPECT_EQ(reply.bytes.size(), reply.announced / 2);
  EXPECT_TRUE(reply.closedByServer);
}

TEST_F(ServerFaultsTest, OverannounceClaimsMoreThanItSendsAndWaitsForTheReceipt) {
  Switch("TERMINATE:overannounce:50");
  RawClient client;
  ASSERT_TRUE(
      SendOnNewConnection(&client, Request({{"SERVICE_CODE", "TERMINATE"}, {"SKEY", "k"}})));
  const RawReply reply = client.Read(2000, 400);
  ASSERT_TRUE(reply.gotLength);
  EXPECT_EQ(reply.announced, reply.bytes.size() + 50);
  EXPECT_FALSE(reply.closedByServer);
  EXPECT_EQ(ElementOf(reply.bytes, "RESULT_CODE"), std::optional<std::string>("0000"));
  ASSERT_TRUE(client.SendBytes("@@@@"));
  EXPECT_TRUE(client.ClosedWithin(2000));
  ASSERT_TRUE(server_->WaitIdle(2000));
  EXPECT_TRUE(server_->Requests().back().receiptMarker);
}

TEST_F(ServerFaultsTest, RefuseClosesWithoutAReply) {
  Switch("INIT:refuse");
  const CallResult call = Call(server_->Port(), InitRequest());
  EXPECT_EQ(call.result, -1);
  EXPECT_EQ(server_->CountRequests("INIT"), 1u);
  EXPECT_TRUE(ElementOf(Call(server_->Port(), GetListRequest()).reply, "FILE_LIST"));
}

TEST_F(ServerFaultsTest, SwitchesGivenAtStartApply) {
  FileServerOptions options = TestOptions(folder_.Text());
  std::string error;
  options.faults.push_back(*ParseFault("GETLIST:omit:FILE_COUNT", &error));
  std::unique_ptr<FileServer> server = FileServer::Start(options, &error);
  ASSERT_TRUE(server) << error;
  const std::string reply = Call(server->Port(), GetListRequest()).reply;
  EXPECT_FALSE(ElementOf(reply, "FILE_COUNT"));
  EXPECT_TRUE(ElementOf(reply, "FILE_LIST"));
}

TEST_F(ServerFaultsTest, ClosesOnARequestThatIsNotAFrame) {
  RawClient wrongStart;
  ASSERT_TRUE(wrongStart.Connect(server_->Port()));
  ASSERT_TRUE(wrongStart.SendBytes(std::string("X\0\0\0\x05hello", 10)));
  EXPECT_TRUE(wrongStart.ClosedWithin(2000));

  RawClient tooLong;
  ASSERT_TRUE(tooLong.Connect(server_->Port()));
  ASSERT_TRUE(tooLong.SendBytes(std::string("#\x7f\xff\xff\xff", 5)));
  EXPECT_TRUE(tooLong.ClosedWithin(2000));
  EXPECT_TRUE(server_->Requests().empty());
}

TEST_F(ServerFaultsTest, ASilentClientDoesNotHoldUpOthersAndIsDroppedInTime) {
  RawClient silent;
  ASSERT_TRUE(silent.Connect(server_->Port()));
  EXPECT_TRUE(ElementOf(Call(server_->Port(), InitRequest()).reply, "SKEY"));
  EXPECT_TRUE(silent.ClosedWithin(5000));  // the test's request time-out is 3000 ms
}

TEST_F(ServerFaultsTest, ConnectionsBeyondTheBoundAreClosedUnserved) {
  FileServerOptions options = TestOptions(folder_.Text(), &warnings_);
  options.maxConnections = 1;
  std::unique_ptr<FileServer> server;
  ASSERT_TRUE(Started(options, &server));
  RawClient holder;
  ASSERT_TRUE(holder.Connect(server->Port()));
  EXPECT_EQ(Call(server->Port(), InitRequest()).result, -1);
  EXPECT_TRUE(warnings_.Contains("too many connections"));
  holder.Close();
  ASSERT_TRUE(server->WaitIdle(2000));
  EXPECT_TRUE(ElementOf(Call(server->Port(), InitRequest()).reply, "SKEY"));
}

}  // namespace
}  // namespace dovrel::server::test
