// The request log stays within its byte budget however large the requests.

#include <gtest/gtest.h>

#include <string>

#include "server/file_server.h"
#include "server/request_log.h"
#include "tests/server/server_test_support.h"

namespace dovrel::server::test {
namespace {

TEST(ServerRequestLogBoundsTest, ManyLargeRequestsStayWithinTheBudget) {
  TempFolder folder;
  std::unique_ptr<FileServer> server;
  ASSERT_TRUE(Started(TestOptions(folder.Text()), &server));
  // Each request just under the server's 1 MiB request bound.
  const std::string userId(1000 * 1000, 'u');
  const std::string request = std::string(kMessageHeader) + "<" + kMessageRoot +
                              "><SERVICE_CODE>GETLIST</SERVICE_CODE><SKEY>k</SKEY><USERID>" +
                              userId + "</USERID><DATE>x</DATE></" + kMessageRoot + ">";
  for (int i = 0; i < 24; ++i)
    ASSERT_TRUE(ElementOf(Call(server->Port(), request).reply, "RESULT_CODE")) << i;
  ASSERT_TRUE(server->WaitIdle(3000));

  const std::vector<RequestRecord> records = server->Requests();
  ASSERT_FALSE(records.empty());
  std::size_t total = 0;
  for (const RequestRecord& record : records) {
    EXPECT_LE(RecordBytes(record), kRequestRecordLimit);
    total += RecordBytes(record);
  }
  EXPECT_LE(total, kRequestLogBudget);
  // The newest request is kept, its service and small elements whole.
  EXPECT_EQ(records.back().service, "GETLIST");
  EXPECT_EQ(records.back().Element("DATE"), "x");
  EXPECT_TRUE(records.back().receiptMarker);
}

TEST(ServerRequestLogBoundsTest, CutsLongTextsAndDropsTheOldestRecordsBeyondTheBudget) {
  RequestLog log(100, 300, 120);  // texts cut to 30 bytes: 3 + 9 + 30 = 42 bytes a record
  for (int i = 0; i < 10; ++i)
    log.Add({"GET", {{"FILE_NAME", std::to_string(i) + std::string(200, 'n')}}, false});
  const std::vector<RequestRecord> records = log.Records();
  ASSERT_EQ(records.size(), 7u);
  EXPECT_EQ(records.back().Element("FILE_NAME"), "9" + std::string(29, 'n'));
  EXPECT_EQ(log.Bytes(), 7u * 42u);
  log.Clear();
  EXPECT_EQ(log.Bytes(), 0u);
}

}  // namespace
}  // namespace dovrel::server::test
