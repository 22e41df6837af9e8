// dovrel-host over its standard input and output, as the browser drives it,
// against the reference server: list, receive, and every refusal.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "build_lists.h"
#include "control/site_lock.h"
#include "host/caller.h"
#include "session/file_names.h"
#include "tests/host/host_process.h"
#include "tests/host/receive_folder_use.h"
#include "tests/support/line_ends.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_server.h"

namespace dovrel::test {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

constexpr char kExtension[] = "receiver@dovrel.kr";
constexpr char kManifest[] = "kr.dovrel.receiver.json";
constexpr char kOrigin[] = "https://bank.example";
constexpr int kReplyMs = 60000;  // a Windows program's start under Wine included

std::vector<std::string> SampleNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::u8path(FixtureRoot() + "/" + kSampleDate)))
    names.push_back(entry.path().filename().u8string());
  std::sort(names.begin(), names.end());
  return names;
}

// What a received copy of a sample file holds.
std::string ReceivedForm(const std::string& name) {
  const std::string bytes =
      ReadFileBytes((fs::u8path(FixtureRoot() + "/" + kSampleDate) / fs::u8path(name)).string());
  return IsTextModePath(name.c_str()) ? WithCrLf(bytes) : bytes;
}

class HostConversation : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!host::ExtensionAllowed(kExtension, host::kBuildExtensionIds) ||
        !SiteListAllows(host::kBuildAllowedSites, "https", "bank.example"))
      GTEST_SKIP() << "configure with -DDOVREL_EXTENSION_IDS=" << kExtension
                   << " -DDOVREL_ALLOWED_SITES=\"bank.example;*.bank.example\"";
    ASSERT_TRUE(folder_.Ok() && settings_.Ok());
    folderSetting_ = std::make_unique<UseReceiveFolder>(folder_.Text(), settings_.Text());
  }

  // Started as Firefox starts it: the manifest's path, then the add-on id.
  void Start(const std::string& extension = kExtension) {
    host_ = std::make_unique<HostProcess>(std::vector<std::string>{kManifest, extension});
    ASSERT_TRUE(host_->Started());
    const Json hello = Next();
    ASSERT_EQ(hello.value("type", ""), "hello") << hello;
    EXPECT_EQ(hello.value("protocol", 0), 1);
  }

  void SendBytes(const std::string& body, std::uint32_t length) {
    std::string frame(sizeof length, '\0');
    std::memcpy(frame.data(), &length, sizeof length);
    ASSERT_TRUE(host_->Write(frame + body));
  }
  void Send(const Json& request) {
    const std::string body = request.dump();
    SendBytes(body, static_cast<std::uint32_t>(body.size()));
  }
  Json Request(int id, const char* type, const TestServer& server,
               const char* origin = kOrigin) const {
    return {{"id", id},
            {"type", type},
            {"origin", origin},
            {"options", "CONNECTIP=127.0.0.1&CONNECTPORT=" + std::to_string(server.Port()) +
                            "&DATE=" + kSampleDate}};
  }

  // The next message, or null when none came in time.
  Json Next() {
    std::uint32_t length = 0;
    if (!host_->Read(reinterpret_cast<char*>(&length), sizeof length, kReplyMs)) return nullptr;
    std::string body(length, '\0');
    if (!host_->Read(body.data(), length, kReplyMs)) return nullptr;
    return Json::parse(body, nullptr, false);
  }
  // Every message up to the one of `type` (or an error), that one last.
  std::vector<Json> Until(const char* type) {
    std::vector<Json> messages;
    for (Json message = Next(); !message.is_null(); message = Next()) {
      messages.push_back(message);
      const std::string got = message.value("type", "");
      if (got == type || got == "error") break;
    }
    return messages;
  }

  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.Path()))
      names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Stored(const std::string& name) const {
    return ReadFileBytes((folder_.Path() / fs::u8path(name)).string());
  }

  TempFolder folder_;
  TempFolder settings_;
  std::unique_ptr<UseReceiveFolder> folderSetting_;
  std::unique_ptr<HostProcess> host_;
};

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
