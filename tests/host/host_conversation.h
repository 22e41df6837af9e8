#pragma once
// dovrel-host started as Firefox starts it, in a test of its own with its own
// receive folder: requests written to it, replies read from it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
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

using Json = nlohmann::json;
namespace fs = std::filesystem;

constexpr char kExtension[] = "receiver@dovrel.kr";
constexpr char kManifest[] = "kr.dovrel.receiver.json";
constexpr char kOrigin[] = "https://bank.example";
constexpr int kReplyMs = 60000;  // a Windows program's start under Wine included

inline std::vector<std::string> SampleNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::u8path(FixtureRoot() + "/" + kSampleDate)))
    names.push_back(entry.path().filename().u8string());
  std::sort(names.begin(), names.end());
  return names;
}

// What a received copy of a sample file holds.
inline std::string ReceivedForm(const std::string& name) {
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

}  // namespace dovrel::test
