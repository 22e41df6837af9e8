// The five services over real connections, driven with raw Exchanges.

#include <gtest/gtest.h>

#include <openssl/rand.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "server/credentials.h"
#include "server/file_server.h"
#include "server/services.h"
#include "tests/server/server_test_support.h"

namespace dovrel::server::test {
namespace {

// "가나다.txt": UTF-8 on disk, CP949 on the wire.
const std::string kKoreanUtf8 = "\xea\xb0\x80\xeb\x82\x98\xeb\x8b\xa4.txt";
const std::string kKoreanCp949 = "\xb0\xa1\xb3\xaa\xb4\xd9.txt";

std::string RandomBytes(std::size_t n) {
  std::string bytes(n, '\0');
  RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(n));
  return bytes;
}

std::string FileText(const std::string& contents) {
  return "file_size=" + std::to_string(contents.size()) + "&file_contents=" + contents;
}

class ServerServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Write("20240102/a.txt", "hello\nworld\n");
    folder_.Write("20240102/empty.dat", "");
    folder_.Write("20240102/" + kKoreanUtf8, "\xed\x95\x9c\xea\xb8\x80 text");
    folder_.Write("20240101/a.txt", "older a");
    folder_.Write("20240101/b.bin", "b");
    folder_.MakeFolder("20240103");
    folder_.MakeFolder("notadate");
    folder_.Write("notadate/hidden.txt", "never listed");
    ASSERT_TRUE(Started(TestOptions(folder_.Text(), &warnings_), &server_));
  }

  std::string Reply(std::initializer_list<Element> elements) {
    return Call(server_->Port(), Request(elements)).reply;
  }

  std::string GetList(const char* date) {
    return Reply({{"SERVICE_CODE", "GETLIST"}, {"SKEY", "x"}, {"USERID", "u01"}, {"DATE", date}});
  }

  std::string Get(const std::string& skey, const std::string& name) {
    return Reply({{"SERVICE_CODE", "GET"},
                  {"SKEY", skey.c_str()},
                  {"USERID", "u01"},
                  {"FILE_NAME", name.c_str()}});
  }

  TempFolder folder_;
  WarningLog warnings_;
  std::unique_ptr<FileServer> server_;
};

TEST_F(ServerServicesTest, InitGivesAFreshSessionAndTheServerCertificate) {
  const std::string first = Reply({{"SERVICE_CODE", "INIT"}});
  const std::string second = Reply({{"SERVICE_CODE", "INIT"}});
  EXPECT_EQ(first.rfind(kMessageHeader, 0), 0u);
  EXPECT_EQ(ElementOf(first, "RESULT_CODE"), std::optional<std::string>("0000"));
  EXPECT_EQ(ElementOf(first, "RESULT_MSG"), std::optional<std::string>(""));
  const std::optional<std::string> skey = ElementOf(first, "SKEY");
  ASSERT_TRUE(skey);
  EXPECT_EQ(skey->size(), 32u);
  EXPECT_NE(skey, ElementOf(second, "SKEY"));

  const std::optional<std::string> signedData = ElementOf(first, "SERVER_SIGNED_DATA");
  ASSERT_TRUE(signedData);
  EXPECT_LE(signedData->size(), kSignedDataValueLimit);
  EXPECT_EQ(signedData->find_first_of(" +\n\r"), std::string::npos) << "values must be URL-encoded";
  std::string dn, problem;
  UniquePtr<X509> certificate = CertificateFromSignedData(*signedData, &dn, &problem);
  ASSERT_TRUE(certificate) << problem;
  EXPECT_EQ(X509_cmp(certificate.get(), server_->Credentials().certificate.get()), 0);
  EXPECT_EQ(dn, "CN=dovrel-fileserver");
}

TEST_F(ServerServicesTest, FilesArriveWholeUnderTheSessionKey) {
  std::string problem;
  const std::optional<OpenedSession> session = OpenSession(server_->Port(), &problem);
  ASSERT_TRUE(session) << problem;
  const std::string binary = RandomBytes(1024 * 1024);
  folder_.Write("20240102/big.bin", binary);

  const struct {
    std::string wireName, contents;
  } cases[] = {
      {"empty.dat", ""},   {"a.txt", "hello\nworld\n"},  // the newest date's file of that name
      {"b.bin", "b"},      {kKoreanCp949, "\xed\x95\x9c\xea\xb8\x80 text"},
      {"big.bin", binary},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> plain =
        GetFile(server_->Port(), *session, c.wireName, &problem);
    ASSERT_TRUE(plain) << c.wireName << ": " << problem;
    EXPECT_TRUE(*plain == FileText(c.contents))
        << c.wireName << " came out as " << plain->size() << " bytes";
  }
}

TEST_F(ServerServicesTest, GetRefusesUnknownSessionsAndSessionsWithoutKeys) {
  const std::string unknown = Get("00000000000000000000000000000000", "a.txt");
  EXPECT_NE(ParseLeadingInteger(ElementOf(unknown, "RESULT_CODE").value_or("0").c_str()), 0);
  EXPECT_FALSE(ElementOf(unknown, "ENC_DATA"));
  EXPECT_FALSE(ElementOf(unknown, "RESULT_MSG").value_or("").empty());

  const std::string skey = *ElementOf(Reply({{"SERVICE_CODE", "INIT"}}), "SKEY");
  const std::string noKeys = Get(skey, "a.txt");
  EXPECT_NE(ParseLeadingInteger(ElementOf(noKeys, "RESULT_CODE").value_or("0").c_str()), 0);
  EXPECT_FALSE(ElementOf(noKeys, "ENC_DATA"));
}

TEST_F(ServerServicesTest, GetRefusesMissingAndPathLikeNames) {
  std::string problem;
  const std::optional<OpenedSession> session = OpenSession(server_->Port(), &problem);
  ASSERT_TRUE(session) << problem;
  folder_.Write("secret.txt", "outside the date folders");
  std::filesystem::create_symlink(folder_.Text() + "/secret.txt",
                                  folder_.Text() + "/20240102/link.txt");
  for (const std::string name : {"missing.txt", "../secret.txt", "20240102/a.txt", "..\\secret.txt",
                                 ".", "..", "", "/etc/passwd", "link.txt", "hidden.txt"}) {
    const std::string reply = Get(session->skey, name);
    EXPECT_NE(ParseLeadingInteger(ElementOf(reply, "RESULT_CODE").value_or("0").c_str()), 0)
        << name;
    EXPECT_FALSE(ElementOf(reply, "RESULT_MSG").value_or("").empty()) << name;
    EXPECT_FALSE(ElementOf(reply, "ENC_DATA")) << name;
  }
}

TEST_F(ServerServicesTest, KeyExchangeRefusesBadEnvelopesAndUnknownSessions) {
  const std::string skey = *ElementOf(Reply({{"SERVICE_CODE", "INIT"}}), "SKEY");
  X509* certificate = server_->Credentials().certificate.get();
  const std::string good = SealForServer(certificate, KeyText(RandomKeys()));
  const struct {
    std::string skey, envelope;
  } cases[] = {
      {skey, "not an envelope"},
      {skey, SealForServer(certificate, "sessionkey=00&initvector=11")},
      {"unknown-session", good},
  };
  for (const auto& c : cases) {
    const std::string reply = Reply({{"SERVICE_CODE", "KEYEXCHG"},
                                     {"SKEY", c.skey.c_str()},
                                     {"ENVELOP_DATA", c.envelope.c_str()}});
    EXPECT_NE(ParseLeadingInteger(ElementOf(reply, "RESULT_CODE").value_or("0").c_str()), 0)
        << c.envelope;
    EXPECT_FALSE(ElementOf(reply, "RESULT_MSG").value_or("").empty());
  }
  const std::string reply =
      Reply({{"SERVICE_CODE", "KEYEXCHG"}, {"SKEY", skey.c_str()}, {"ENVELOP_DATA", good.c_str()}});
  EXPECT_EQ(ElementOf(reply, "RESULT_CODE"), std::optional<std::string>("0000"));
}

TEST_F(ServerServicesTest, TerminateForgetsTheSession) {
  std::string problem;
  const std::optional<OpenedSession> session = OpenSession(server_->Port(), &problem);
  ASSERT_TRUE(session) << problem;
  ASSERT_TRUE(GetFile(server_->Port(), *session, "b.bin", &problem)) << problem;
  const std::string reply = Reply({{"SERVICE_CODE", "TERMINATE"}, {"SKEY", session->skey.c_str()}});
  EXPECT_EQ(ElementOf(reply, "RESULT_CODE"), std::optional<std::string>("0000"));
  EXPECT_FALSE(GetFile(server_->Port(), *session, "b.bin", &problem));
  EXPECT_EQ(server_->CountRequests("TERMINATE"), 1u);
}

TEST_F(ServerServicesTest, GetListListsOneDate) {
  const std::string reply = GetList("20240102");
  EXPECT_EQ(ElementOf(reply, "RESULT_CODE"), std::optional<std::string>("0000"));
  EXPECT_EQ(ElementOf(reply, "FILE_COUNT"), std::optional<std::string>("3"));
  EXPECT_EQ(ElementOf(reply, "FILE_LIST"),
            std::optional<std::string>("a.txt|empty.dat|" + kKoreanCp949));
}

TEST_F(ServerServicesTest, GetListOfAllDatesListsNewestFirstAndEachNameOnce) {
  const std::string reply = GetList("00000000");
  EXPECT_EQ(ElementOf(reply, "RESULT_CODE"), std::optional<std::string>("0000"));
  EXPECT_EQ(ElementOf(reply, "FILE_COUNT"), std::optional<std::string>("4"));
  EXPECT_EQ(ElementOf(reply, "FILE_LIST"),
            std::optional<std::string>("a.txt|empty.dat|" + kKoreanCp949 + "|b.bin"));
}

TEST_F(ServerServicesTest, GetListOfADateWithoutFilesIsEmptyButSuccessful) {
  for (const char* date : {"20991231", "20240103", "abcdefgh", "../20240"}) {
    const std::string reply = GetList(date);
    EXPECT_EQ(ElementOf(reply, "RESULT_CODE"), std::optional<std::string>("0000")) << date;
    EXPECT_EQ(ElementOf(reply, "FILE_COUNT"), std::optional<std::string>("0")) << date;
    EXPECT_EQ(ElementOf(reply, "FILE_LIST"), std::optional<std::string>("")) << date;
  }
}

TEST_F(ServerServicesTest, GetListLeavesOutNamesThatCannotTravel) {
  folder_.Write("20240105/ok.txt", "1");
  folder_.Write("20240105/\xf0\x9f\x98\x80.txt", "emoji: no CP949 form");
  folder_.Write("20240105/a|b.txt", "holds the separator");
  const std::string reply = GetList("20240105");
  EXPECT_EQ(ElementOf(reply, "FILE_COUNT"), std::optional<std::string>("1"));
  EXPECT_EQ(ElementOf(reply, "FILE_LIST"), std::optional<std::string>("ok.txt"));
  EXPECT_TRUE(warnings_.Contains("\xf0\x9f\x98\x80.txt"));
  EXPECT_TRUE(warnings_.Contains("a|b.txt"));
}

TEST_F(ServerServicesTest, GetListFitsTheClientsReplyBuffer) {
  for (int i = 0; i < 400; ++i) {
    char name[128];
    std::snprintf(name, sizeof name, "20240106/%03d-%s.dat", i, std::string(90, 'n').c_str());
    folder_.Write(name, "");
  }
  const CallResult call = Call(
      server_->Port(),
      Request({{"SERVICE_CODE", "GETLIST"}, {"SKEY", "x"}, {"USERID", "u"}, {"DATE", "20240106"}}));
  EXPECT_LE(call.reply.size(), kListReplyLimit);
  const long count = ParseLeadingInteger(ElementOf(call.reply, "FILE_COUNT").value_or("").c_str());
  EXPECT_GT(count, 100);
  EXPECT_LT(count, 400);
  const std::string list = ElementOf(call.reply, "FILE_LIST").value_or("");
  EXPECT_EQ(static_cast<long>(std::count(list.begin(), list.end(), '|')) + 1, count);
  EXPECT_TRUE(warnings_.Contains("cut to"));
}

TEST_F(ServerServicesTest, UnknownServiceAndMissingElementsGetFailureReplies) {
  for (const std::string& reply :
       {Reply({{"SERVICE_CODE", "LOGIN"}}), Reply({{"USERID", "u01"}}),
        Reply({{"SERVICE_CODE", "GETLIST"}}), Reply({{"SERVICE_CODE", "GET"}, {"SKEY", "x"}}),
        Reply({{"SERVICE_CODE", "KEYEXCHG"}})}) {
    EXPECT_NE(ParseLeadingInteger(ElementOf(reply, "RESULT_CODE").value_or("0").c_str()), 0)
        << reply;
    EXPECT_FALSE(ElementOf(reply, "RESULT_MSG").value_or("").empty()) << reply;
  }
}

TEST_F(ServerServicesTest, LogsEveryRequestWithItsElementsAndTheReceipt) {
  Reply({{"SERVICE_CODE", "GETLIST"}, {"SKEY", "k"}, {"USERID", "u01"}, {"DATE", "20240102"}});
  ASSERT_TRUE(server_->WaitIdle(3000));
  const std::vector<RequestRecord> log = server_->Requests();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].service, "GETLIST");
  EXPECT_EQ(log[0].Element("USERID"), "u01");
  EXPECT_EQ(log[0].Element("DATE"), "20240102");
  EXPECT_EQ(log[0].elements.size(), 4u);
  EXPECT_TRUE(log[0].receiptMarker);
  server_->ClearRequests();
  EXPECT_TRUE(server_->Requests().empty());
}

TEST_F(ServerServicesTest, ServesSeveralClientsAtOnce) {
  std::string problem;
  const std::optional<OpenedSession> session = OpenSession(server_->Port(), &problem);
  ASSERT_TRUE(session) << problem;
  folder_.Write("20240102/mid.bin", RandomBytes(256 * 1024));
  std::vector<std::thread> clients;
  clients.reserve(4);
  std::atomic<int> good{0};
  for (int i = 0; i < 4; ++i) {
    clients.emplace_back([&] {
      std::string ignored;
      for (int j = 0; j < 3; ++j) {
        if (GetFile(server_->Port(), *session, "mid.bin", &ignored)) ++good;
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(good.load(), 12);
}

}  // namespace
}  // namespace dovrel::server::test
