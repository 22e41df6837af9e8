// The certificate and key kept with --state: only from a folder no one else
// may write to, never half replaced, never read or written through a planted
// link, and written whole or not at all.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "server/atomic_file.h"
#include "server/credentials.h"
#include "server/file_server.h"
#include "tests/server/server_test_support.h"

namespace dovrel::server::test {
namespace {

std::string Contents(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class ServerStateFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::permissions(state_.Path(), Mode(0700)); }
  static std::filesystem::perms Mode(unsigned mode) {
    return static_cast<std::filesystem::perms>(mode);
  }
  FileServerOptions Options() const {
    FileServerOptions options = TestOptions(root_.Text());
    options.credentials = nullptr;
    options.stateDir = state_.Text();
    return options;
  }

  TempFolder root_, state_, outside_;
};

TEST_F(ServerStateFolderTest, HalfAPairStopsTheStartAndIsLeftAsItWas) {
  for (const std::string present : {kStateCertificateFile, kStateKeyFile}) {
    const std::string missing =
        present == kStateCertificateFile ? kStateKeyFile : kStateCertificateFile;
    std::filesystem::remove_all(state_.Path() / kStateCertificateFile);
    std::filesystem::remove_all(state_.Path() / kStateKeyFile);
    state_.Write(present, "the half that is left");
    std::string error;
    EXPECT_FALSE(FileServer::Start(Options(), &error)) << present;
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_EQ(Contents(state_.Path() / present), "the half that is left");
    EXPECT_FALSE(std::filesystem::exists(state_.Path() / missing)) << missing;
  }
}

TEST_F(ServerStateFolderTest, AFolderOthersMayWriteToIsRefused) {
  struct Case {
    const char* id;
    unsigned mode;
    bool anotherOwner;
    const char* says;
  };
  const Case cases[] = {{"group-writable", 0770, false, "written by group or others"},
                        {"other-writable", 0703, false, "written by group or others"},
                        {"another user's", 0700, true, "belongs to another user"}};
  for (const Case& c : cases) {
    if (c.anotherOwner && geteuid() != 0) continue;  // only root can give a folder away
    std::filesystem::permissions(state_.Path(), Mode(c.mode));
    ASSERT_EQ(chown(state_.Text().c_str(), c.anotherOwner ? 65534 : geteuid(), -1), 0) << c.id;
    std::string error;
    EXPECT_FALSE(FileServer::Start(Options(), &error)) << c.id;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.id << ": " << error;
    EXPECT_EQ(state_.EntryCount(), 0) << c.id;
  }
}

TEST_F(ServerStateFolderTest, AKeptKeyIsNeverReadThroughALink) {
  std::string error;
  ASSERT_TRUE(FileServer::Start(Options(), &error)) << error;  // makes and keeps a pair
  const std::filesystem::path key = state_.Path() / kStateKeyFile;
  std::filesystem::rename(key, outside_.Path() / kStateKeyFile);
  std::filesystem::create_symlink(outside_.Path() / kStateKeyFile, key);
  EXPECT_FALSE(FileServer::Start(Options(), &error));
  EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
}

TEST_F(ServerStateFolderTest, APlantedLinkIsNeverWrittenThrough) {
  const std::filesystem::path target = outside_.Path() / "stolen-key.pem";
  std::filesystem::create_symlink(target, state_.Path() / kStateKeyFile);
  std::string error;
  EXPECT_FALSE(FileServer::Start(Options(), &error));
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_FALSE(std::filesystem::exists(state_.Path() / kStateCertificateFile));
}

TEST_F(ServerStateFolderTest, AGeneratedPairIsPrivateWhateverTheUmask) {
  const mode_t old = umask(0);
  std::string error;
  std::unique_ptr<FileServer> server = FileServer::Start(Options(), &error);
  umask(old);
  ASSERT_TRUE(server) << error;
  struct stat info {};
  ASSERT_EQ(lstat(state_.File(kStateKeyFile).c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(lstat(state_.File(kStateCertificateFile).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(state_.Path()),
                          std::filesystem::directory_iterator()),
            2)
      << "no temporary left behind";
}

TEST(ServerAtomicFileTest, ReplacesAFileOrLinkWithANewFileOfTheGivenMode) {
  TempFolder folder, outside;
  const std::string path = folder.File("key.pem");
  folder.Write("key.pem", "old text, readable by all");
  std::filesystem::permissions(path, std::filesystem::perms(0644));
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, "new text", 0600, &error)) << error;
  EXPECT_EQ(Contents(path), "new text");
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0600));

  const std::filesystem::path target = outside.Path() / "target";
  outside.Write("target", "not to be touched");
  std::filesystem::remove(path);
  std::filesystem::create_symlink(target, path);
  ASSERT_TRUE(WriteFileAtomically(path, "newer text", 0600, &error)) << error;
  EXPECT_FALSE(std::filesystem::is_symlink(path));
  EXPECT_EQ(Contents(path), "newer text");
  EXPECT_EQ(Contents(target), "not to be touched");

  EXPECT_FALSE(WriteFileAtomically(folder.File("missing/key.pem"), "x", 0600, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace dovrel::server::test
