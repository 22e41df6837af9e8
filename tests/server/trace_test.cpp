// --trace-requests prints one line per request that harnesses can parse,
// whatever bytes the client put in its SERVICE_CODE.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "tests/server/child_process.h"
#include "tests/server/server_test_support.h"

namespace dovrel::server::test {
namespace {

TEST(ServerTraceTest, EachRequestIsOneBoundedPrintableLine) {
  TempFolder folder;
  Child child = Launch({"--root", folder.Text(), "--port", "0", "--trace-requests"});
  ASSERT_GT(child.pid, 0);
  const std::vector<std::string> start = ReadStartLines(child.out, 20000);
  ASSERT_FALSE(start.empty());
  const std::string& listening = start.back();
  const std::string prefix = "listening on 127.0.0.1:";
  ASSERT_EQ(listening.rfind(prefix, 0), 0u) << listening;
  const int port = std::stoi(listening.substr(prefix.size()));

  Call(port, Request({{"SERVICE_CODE", "INIT\nrequest GET\r\x1b[2J\\"}}));
  Call(port, Request({{"SERVICE_CODE", std::string(5000, 'A').c_str()}}));
  Call(port, Request({{"SERVICE_CODE", "TERMINATE"}, {"SKEY", "k"}}));
  const std::string trace = ReadUntil(child.out, "request TERMINATE\n", 5000);
  kill(child.pid, SIGTERM);
  EXPECT_EQ(WaitExit(child.pid, 5000), 0);
  close(child.out);
  close(child.err);

  std::istringstream lines(trace);
  std::vector<std::string> requests;
  for (std::string line; std::getline(lines, line);) requests.push_back(line);
  ASSERT_EQ(requests.size(), 3u) << trace;
  EXPECT_EQ(requests[0], "request INIT\\x0arequest GET\\x0d\\x1b[2J\\\\");
  EXPECT_LE(requests[1].size(), 200u);
  EXPECT_EQ(requests[1].rfind("request AAAA", 0), 0u);
  EXPECT_EQ(requests[2], "request TERMINATE");
  for (const std::string& line : requests) {
    for (char c : line) EXPECT_TRUE(c >= 0x20 && c < 0x7f) << "byte " << int(c) << " in " << line;
  }
}

}  // namespace
}  // namespace dovrel::server::test
