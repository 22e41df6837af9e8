// dovrel-host over its standard input and output, as the browser drives it,
// against the reference server: list, receive, and every refusal.
#include <chrono>
#include <thread>

#include "tests/host/host_conversation.h"

namespace dovrel::test {
namespace {

TEST_F(HostConversation, ListsTheDatesFiles) {
  TestServer server("host");
  ASSERT_TRUE(server.Ready()) << server.Error();
  Start();
  Send(Request(1, "list", server));
  const Json files = Next();
  ASSERT_EQ(files.value("type", ""), "files") << files;
  EXPECT_EQ(files["id"], 1);
  EXPECT_EQ(files["date"], kSampleDate);
  std::vector<std::string> names;
  for (const Json& file : files["files"]) names.push_back(file.value("name", ""));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, SampleNames());
}

TEST_F(HostConversation, ReceivesEveryFileWithProgressAndAResultEach) {
  TestServer server("host");
  ASSERT_TRUE(server.Ready()) << server.Error();
  Start();
  Send(Request(2, "receive", server));
  const std::vector<Json> messages = Until("done");
  ASSERT_FALSE(messages.empty());
  const Json& done = messages.back();
  ASSERT_EQ(done.value("type", ""), "done") << done;
  EXPECT_EQ(done["result"], "1");
  EXPECT_EQ(done["received"], SampleNames().size());
  EXPECT_EQ(done["failed"], 0);
  EXPECT_EQ(fs::u8path(done.value("folder", "")), folder_.Path());
  const auto count = [&](const char* type) {
    return std::count_if(messages.begin(), messages.end(),
                         [&](const Json& m) { return m.value("type", "") == type; });
  };
  EXPECT_EQ(count("file"), static_cast<long>(SampleNames().size()));
  EXPECT_GE(count("progress"), static_cast<long>(SampleNames().size()));
  ASSERT_EQ(FolderNames(), SampleNames());
  for (const std::string& name : SampleNames()) EXPECT_EQ(Stored(name), ReceivedForm(name)) << name;
}

TEST_F(HostConversation, ReceivesOnlyTheNamedFiles) {
  TestServer server("host");
  ASSERT_TRUE(server.Ready()) << server.Error();
  Start();
  Json request = Request(3, "receive", server);
  request["files"] = {"statement.dat", "107자료.txt"};
  Send(request);
  const Json done = Until("done").back();
  EXPECT_EQ(done.value("type", ""), "done") << done;
  EXPECT_EQ(done["received"], 2);
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"107자료.txt", "statement.dat"}));
  EXPECT_EQ(Stored("statement.dat"), ReceivedForm("statement.dat"));
}

TEST_F(HostConversation, AnOriginOffTheListReachesNoServer) {
  TestServer server("host");
  ASSERT_TRUE(server.Ready()) << server.Error();
  const int before = server.CountRequests("INIT");
  Start();
  Send(Request(4, "receive", server, "https://evil.test"));
  const Json refused = Next();
  EXPECT_EQ(refused.value("code", ""), "site-refused") << refused;
  EXPECT_EQ(refused["message"],
            "evil.test 사이트에서는 자료 수신을 사용할 수 없습니다\n(허용되지 않은 사이트입니다)");
  host_->CloseInput();
  EXPECT_EQ(host_->Wait(kReplyMs), 0);
  EXPECT_EQ(server.CountRequests("INIT"), before);
  EXPECT_EQ(folder_.EntryCount(), 0);
}

TEST_F(HostConversation, AnExtensionTheBuildDoesNotNameIsRefused) {
  Start("evil@example.com");
  const Json refused = Next();
  EXPECT_EQ(refused.value("code", ""), "extension-refused") << refused;
  EXPECT_EQ(host_->Wait(kReplyMs), 1);
}

TEST_F(HostConversation, AnOversizedMessageEndsTheHost) {
  Start();
  SendBytes("", 64 * 1024 + 1);
  const Json refused = Next();
  EXPECT_EQ(refused.value("code", ""), "too-large") << refused;
  EXPECT_EQ(host_->Wait(kReplyMs), 1);
}

TEST_F(HostConversation, ClosingTheInputMidTransferLeavesNoFileAndEndsTheSession) {
  TestServer server("host-slow");  // holds each file back for five seconds
  ASSERT_TRUE(server.Ready()) << server.Error();
  const int gets = server.CountRequests("GET");
  const int terminates = server.CountRequests("TERMINATE");
  Start();
  Json request = Request(5, "receive", server);
  request["files"] = {"statement.dat"};
  Send(request);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyMs);
  while (server.CountRequests("GET") == gets && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_GT(server.CountRequests("GET"), gets);
  host_->CloseInput();
  EXPECT_EQ(host_->Wait(kReplyMs), 0);
  EXPECT_EQ(server.CountRequests("TERMINATE"), terminates + 1);
  EXPECT_EQ(folder_.EntryCount(), 0);
}

}  // namespace
}  // namespace dovrel::test
