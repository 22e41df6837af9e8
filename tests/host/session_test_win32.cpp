// The host's session request as a browser makes it: the control's own
// windows open (the folder prompt first, no folder being stored), the window
// driver walks them, and the files land in the folder it typed.
#include <windows.h>

#include <future>

#include "tests/control/registration_checks_win32.h"
#include "tests/control/session_checks_win32.h"
#include "tests/host/host_conversation.h"
#include "tests/support/session_walk_win32.h"

namespace dovrel::test {
namespace {

TEST_F(HostConversation, ASessionRequestOpensTheControlsWindows) {
  TestServer server("host");
  ASSERT_TRUE(server.Ready()) << server.Error();
  ForgetReceiveFolder();
  Start();
  auto walk = std::async(std::launch::async, [&] {
    std::vector<std::string> listed;
    ::testing::AssertionResult walked =
        WalkReceiveSession(folder_.Text(), &listed, {}, ProgramWaitMs(60000));
    if (!walked) AbandonReceiveSession();
    return walked;
  });
  Send(Request(6, "session", server));
  const Json done = Next();
  EXPECT_TRUE(walk.get());
  EXPECT_EQ(done.value("type", ""), "done") << done;
  EXPECT_EQ(done["result"], "1");
  ASSERT_EQ(FolderNames(), SampleNames());
  for (const std::string& name : SampleNames()) EXPECT_EQ(Stored(name), ReceivedForm(name)) << name;
}

}  // namespace
}  // namespace dovrel::test
