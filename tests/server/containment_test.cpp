// Nothing outside the served folder is listed or served: a date folder that
// is a symbolic link is not followed, wherever it points.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "server/file_server.h"
#include "tests/server/server_test_support.h"

namespace dovrel::server::test {
namespace {

TEST(ServerContainmentTest, ADateFolderThatIsASymbolicLinkIsNeitherListedNorServed) {
  TempFolder root, outside;
  root.Write("20240102/a.txt", "a");
  outside.Write("secret.txt", "outside the root");
  std::filesystem::create_directory_symlink(outside.Path(), root.Path() / "20240110");
  std::filesystem::create_directory_symlink(root.Path() / "20240102", root.Path() / "20240111");
  std::unique_ptr<FileServer> server;
  ASSERT_TRUE(Started(TestOptions(root.Text()), &server));

  for (const char* date : {"20240110", "20240111"}) {
    const std::string list =
        Call(server->Port(),
             Request({{"SERVICE_CODE", "GETLIST"}, {"SKEY", "k"}, {"USERID", "u"}, {"DATE", date}}))
            .reply;
    EXPECT_EQ(ElementOf(list, "FILE_COUNT"), std::optional<std::string>("0")) << date;
    EXPECT_EQ(ElementOf(list, "FILE_LIST"), std::optional<std::string>("")) << date;
  }
  const std::string all =
      Call(server->Port(),
           Request(
               {{"SERVICE_CODE", "GETLIST"}, {"SKEY", "k"}, {"USERID", "u"}, {"DATE", "00000000"}}))
          .reply;
  EXPECT_EQ(ElementOf(all, "FILE_LIST"), std::optional<std::string>("a.txt"));

  std::string problem;
  const std::optional<OpenedSession> session = OpenSession(server->Port(), &problem);
  ASSERT_TRUE(session) << problem;
  EXPECT_FALSE(GetFile(server->Port(), *session, "secret.txt", &problem));
  EXPECT_TRUE(GetFile(server->Port(), *session, "a.txt", &problem)) << problem;
}

}  // namespace
}  // namespace dovrel::server::test
