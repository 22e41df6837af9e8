// The request log stays within its byte budget however large the requests,
// counting what each element costs beyond its texts.

#include <gtest/gtest.h>

#include <string>

#include "server/file_server.h"
#include "server/request_log.h"
#include "tests/server/server_test_support.h"

namespace dovrel::server::test {
namespace {

// A request document made of `elements`, written out as they stand.
std::string Document(const std::string& elements) {
  return std::string(kMessageHeader) + "<" + kMessageRoot + ">" + elements + "</" + kMessageRoot +
         ">";
}

// An empty element "<></>" `count` times after the service code.
std::string EmptyElements(std::size_t count) {
  std::string elements = "<SERVICE_CODE>GETLIST</SERVICE_CODE>";
  for (std::size_t i = 0; i < count; ++i) elements += "<></>";
  return elements;
}

TEST(ServerRequestLogBoundsTest, ManyLargeRequestsStayWithinTheBudget) {
  TempFolder folder;
  std::unique_ptr<FileServer> server;
  ASSERT_TRUE(Started(TestOptions(folder.Text()), &server));
  // Each request just under the server's 1 MiB request bound.
  const std::string request =
      Document("<SERVICE_CODE>GETLIST</SERVICE_CODE><SKEY>k</SKEY><USERID>" +
               std::string(1000 * 1000, 'u') + "</USERID><DATE>x</DATE>");
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

TEST(ServerRequestLogBoundsTest, ARequestOfEmptyElementsIsRefusedUnlogged) {
  TempFolder folder;
  std::unique_ptr<FileServer> server;
  ASSERT_TRUE(Started(TestOptions(folder.Text()), &server));
  const std::string request = Document(EmptyElements(200 * 1000));  // just under 1 MiB
  EXPECT_EQ(ElementOf(Call(server->Port(), request).reply, "RESULT_CODE"),
            std::optional<std::string>("1004"));
  ASSERT_TRUE(server->WaitIdle(3000));
  EXPECT_TRUE(server->Requests().empty());
}

TEST(ServerRequestLogBoundsTest, RecordsAtMostTheElementLimit) {
  const std::pair<std::size_t, bool> cases[] = {{kRequestElementLimit - 1, true},
                                                {kRequestElementLimit, false}};
  for (const auto& [empties, kept] : cases)  // the service code is one element more
    EXPECT_EQ(RecordOf(Document(EmptyElements(empties)), kRequestRecordLimit).has_value(), kept)
        << empties;
}

TEST(ServerRequestLogBoundsTest, CountsEachElementAndKeepsAtMostTheLimit) {
  RequestLog log;
  RequestRecord record{"GET", {}, false};
  record.elements.resize(1000);
  log.Add(record);
  ASSERT_EQ(log.Records().size(), 1u);
  EXPECT_EQ(log.Records().front().elements.size(), kRequestElementLimit);
  EXPECT_EQ(log.Bytes(), kRecordCost + 3 + kRequestElementLimit * kElementCost);
}

TEST(ServerRequestLogBoundsTest, CutsLongTextsAndDropsTheOldestRecordsBeyondTheBudget) {
  constexpr std::size_t kLimit = 400;  // texts cut to a quarter: 100 bytes
  constexpr std::size_t kRecord = kRecordCost + 3 + kElementCost + 9 + 100;
  RequestLog log(100, 3 * kLimit, kLimit);
  for (int i = 0; i < 10; ++i)
    log.Add({"GET", {{"FILE_NAME", std::to_string(i) + std::string(kLimit, 'n')}}, false});
  const std::vector<RequestRecord> records = log.Records();
  ASSERT_EQ(records.size(), 3 * kLimit / kRecord);
  EXPECT_EQ(records.back().Element("FILE_NAME"), "9" + std::string(99, 'n'));
  EXPECT_EQ(log.Bytes(), records.size() * kRecord);
  log.Clear();
  EXPECT_EQ(log.Bytes(), 0u);
}

}  // namespace
}  // namespace dovrel::server::test
