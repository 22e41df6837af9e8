#include "session/download_worker.h"

#include "session/download_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "net/message.h"
#include "session/file_names.h"
#include "session/file_output.h"
#include "session/progress_text.h"
#include "tests/support/line_ends.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/scripted_get_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_server.h"
#include "tests/session/encrypted_reply.h"
#include "tests/session/recording_hosts.h"

#ifndef _WIN32
#include <sys/resource.h>

#include "server/faults.h"
#include "server/file_server.h"
#endif

namespace dovrel {
namespace {

using test::ReadFileBytes;
using test::RecordingSessionHost;
using test::RecordingTransferView;
using test::ScriptedGetServer;
using test::TempFolder;
using test::TestServer;

// The sample files of the fixture date, by their UTF-8 names.
const std::vector<std::string> kSampleFiles = {"107a.txt",      "107자료.txt", "107B.TXT",
                                               "statement.dat", "readme.rst",  "107empty.txt"};

std::string ToWire(const std::string& utf8) {
  std::string wire;
  EXPECT_TRUE(PlatformWireText().FromUtf8(utf8, &wire)) << utf8;
  return wire;
}

// What a received copy of a sample must hold: its bytes, with CR LF for line
// feeds when it is a text file.
std::string ExpectedCopy(const std::string& utf8Name) {
  std::string name = kFileNamesAreWireText ? ToWire(utf8Name) : utf8Name;
  std::string bytes = ReadFileBytes(test::FixtureRoot() + "/" + test::kSampleDate + "/" + name);
  if (!IsTextModePath(utf8Name.c_str())) return bytes;
  return test::WithCrLf(bytes);
}

std::pair<int, int> GetsAndTerminates(const ScriptedGetServer& server) {
  return {server.gets.load(), server.terminates.load()};
}

class DownloadWorkerTest : public ::testing::Test {
 protected:
  void AddItem(const std::string& utf8Name) {
    TransferItem item;
    const std::string wire = ToWire(utf8Name);
    SetFieldText(item.fileName, wire);
    if (!MakeLocalPath(folder_.Text(), wire, PlatformWireText(), item.localPath,
                       sizeof item.localPath))
      item.localPath[0] = '\0';
    items_.push_back(item);
  }

  std::string LocalPath(std::size_t index) const { return items_[index].localPath; }

  // Short waits for the loopback servers of these tests.
  static constexpr WorkerTimeouts kTimeouts{3000, 3000, 5000, 3000};
  static constexpr ExchangeTimeouts kTerminateTimeouts{3000, 3000, 3000, 3000};
  static constexpr char kOldCopy[] = "the copy already there";

  TransferJob Job(int port, const SessionKeys& keys, const WorkerTimeouts& timeouts = kTimeouts) {
    TransferJob job;
    std::strcpy(job.parameters.serverAddress, "127.0.0.1");
    job.parameters.serverPort = port;
    std::strcpy(job.parameters.userId, "u01");
    SetFieldText(job.parameters.receiveFolder, folder_.Text());
    job.keys = keys;
    job.items = items_.data();
    job.count = static_cast<int>(items_.size());
    job.cancel = &cancel_;
    job.view = &view_;
    job.wire = &PlatformWireText();
    job.timeouts = timeouts;
    job.terminateTimeouts = kTerminateTimeouts;
    return job;
  }
  WorkerEnd Run(int port, const SessionKeys& keys, const WorkerTimeouts& timeouts = kTimeouts) {
    return RunDownloadWorker(Job(port, keys, timeouts));
  }

  // The first item given up mid-way: it failed, and the copy already there is
  // as it was, with no temporary file left behind.
  void ExpectFirstItemGivenUp() {
    EXPECT_EQ(items_[0].done, 0);
    EXPECT_EQ(ReadFileBytes(LocalPath(0)), kOldCopy);
    EXPECT_EQ(folder_.EntryCount(), 1);
  }

  // Opens a real session with the server, as the progress window does first.
  SessionKeys OpenSession(int port) {
    ReceiveParameters parameters;
    std::strcpy(parameters.serverAddress, "127.0.0.1");
    parameters.serverPort = port;
    SessionKeys keys;
    RecordingSessionHost host;
    EXPECT_EQ(OpenSecureSession(parameters, &keys, host), KeyExchangeResult::kOpened);
    return keys;
  }

  TempFolder folder_;
  std::vector<TransferItem> items_;
  std::atomic<bool> cancel_{false};
  RecordingTransferView view_;
};

// The reference server with the sample files, and a session opened with it.
class PlainServerTest : public DownloadWorkerTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Ready()) << server_.Error();
    keys_ = OpenSession(server_.Port());
  }
  WorkerEnd Run(const WorkerTimeouts& timeouts = kTimeouts) {
    return DownloadWorkerTest::Run(server_.Port(), keys_, timeouts);
  }

  TestServer server_{"plain"};
  SessionKeys keys_;
};

TEST_F(PlainServerTest, ReceivesEverySampleFileAsTheServerHoldsIt) {
  for (const std::string& name : kSampleFiles) AddItem(name);
  EXPECT_EQ(Run(), WorkerEnd::kFinished);

  for (std::size_t i = 0; i < kSampleFiles.size(); ++i) {
    SCOPED_TRACE(kSampleFiles[i]);
    EXPECT_EQ(items_[i].done, 1);
    EXPECT_TRUE(ReadFileBytes(LocalPath(i)) == ExpectedCopy(kSampleFiles[i]));
  }
  auto counts = view_.TextsOf(TransferField::kCount);
  ASSERT_EQ(counts.size(), kSampleFiles.size());
  EXPECT_EQ(counts[0], "6개중  1번째");
  EXPECT_EQ(view_.TextsOf(TransferField::kFileName)[1], "107자료.txt");
  auto statuses = view_.TextsOf(TransferField::kStatus);
  ASSERT_GE(statuses.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(statuses.begin(), statuses.begin() + 4),
            (std::vector<std::string>{kConnectingText, kWaitingText, kTransferringText,
                                      kDecryptingText}));
  EXPECT_EQ(view_.positions.back(), 100);
  // Cancel is off while each file is decrypted and stored, and on again after.
  std::vector<bool> cancelStates;
  for (std::size_t i = 0; i < kSampleFiles.size(); ++i)
    cancelStates.insert(cancelStates.end(), {false, true});
  EXPECT_EQ(view_.cancelStates, cancelStates);

#ifndef _WIN32
  auto requests = server_.InProcess()->Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().service, "TERMINATE");
  EXPECT_EQ(server_.InProcess()->CountRequests("TERMINATE"), 1u);
  EXPECT_EQ(server_.InProcess()->CountRequests("GET"), kSampleFiles.size());
  for (const auto& request : requests) EXPECT_TRUE(request.receiptMarker) << request.service;
#endif
}

TEST_F(PlainServerTest, AFailedItemDoesNotStopTheNext) {
  AddItem("not-on-the-server.txt");
  AddItem("../107a.txt");  // would leave the receive folder
  AddItem("107a.txt");
  SetFieldText(items_[1].localPath, (folder_.Path().parent_path() / "107a.txt").string());
  EXPECT_EQ(Run(), WorkerEnd::kFinished);
  EXPECT_EQ(items_[0].done, 0);
  EXPECT_EQ(items_[1].done, 0);
  EXPECT_EQ(items_[2].done, 1);
  EXPECT_FALSE(std::filesystem::exists(LocalPath(0)));
  EXPECT_FALSE(std::filesystem::exists(items_[1].localPath));
}

TEST_F(PlainServerTest, AnEmptyListOnlyTerminates) {
  EXPECT_EQ(Run(), WorkerEnd::kFinished);
  if (server_.InProcess() == nullptr) return;
#ifndef _WIN32
  auto requests = server_.InProcess()->Requests();
  ASSERT_EQ(requests.size(), 3u);  // INIT, KEYEXCHG, TERMINATE
  EXPECT_EQ(requests[2].service, "TERMINATE");
  EXPECT_EQ(requests[2].Element("SKEY"), keys_.skey);
#endif
}

// A run that died mid-transfer left its temporaries; the next run removes
// those over a day old from the receive folder before its first item.
TEST_F(PlainServerTest, RemovesStaleTemporariesFromTheReceiveFolderWhenItStarts) {
  const std::string stale = PartFileName(folder_.File("107a.txt"), 5);
  const std::string fresh = PartFileName(folder_.File("107a.txt"), 6);
  for (const std::string& path : {stale, fresh}) test::WriteFileBytes(path, "part");
  std::filesystem::last_write_time(
      stale, std::filesystem::file_time_type::clock::now() - std::chrono::hours(25));
  EXPECT_EQ(Run(), WorkerEnd::kFinished);
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(fresh));
}

TEST_F(PlainServerTest, CancelTakesEffectBeforeTheNextItemAndStillTerminates) {
  AddItem("107a.txt");
  AddItem("statement.dat");
  view_.onText = [this](TransferField field, const std::string& text) {
    if (field == TransferField::kStatus && text == kDecryptingText) cancel_ = true;
  };
  EXPECT_EQ(Run(), WorkerEnd::kCancelled);
  EXPECT_EQ(items_[0].done, 1);
  EXPECT_EQ(items_[1].done, 0);
#ifndef _WIN32
  EXPECT_EQ(server_.InProcess()->CountRequests("GET"), 1u);
  EXPECT_EQ(server_.InProcess()->CountRequests("TERMINATE"), 1u);
#endif
}

TEST_F(DownloadWorkerTest, ItemsFailWhereNoConnectionCanBeMade) {
  AddItem("107a.txt");
  AddItem("readme.rst");
  EXPECT_EQ(Run(test::UnusedLoopbackPort(), test::FixedKeys()), WorkerEnd::kFinished);
  EXPECT_EQ(view_.TextsOf(TransferField::kCount).size(), 2u);  // both attempted
  EXPECT_EQ(items_[0].done + items_[1].done, 0);
}

#ifndef _WIN32
// Server faults change the reply of every GET; natively only, where the
// server runs in-process.
struct GetFault {
  const char* fault;
  WorkerEnd end;
  bool received;
  bool terminated;
};

class DownloadWorkerFault : public PlainServerTest,
                            public ::testing::WithParamInterface<GetFault> {};

TEST_P(DownloadWorkerFault, EndsAsTheReplyDeserves) {
  const GetFault& c = GetParam();
  std::string error;
  auto fault = server::ParseFault(c.fault, &error);
  ASSERT_TRUE(fault) << error;
  server_.InProcess()->SetFaults({*fault});

  AddItem("107a.txt");
  AddItem("readme.rst");
  test::WriteFileBytes(LocalPath(0), kOldCopy);
  EXPECT_EQ(Run({3000, 3000, 1000, 1000}), c.end);
  EXPECT_EQ(items_[0].done == 1, c.received);
  if (!c.received) {
    EXPECT_EQ(ReadFileBytes(LocalPath(0)), kOldCopy);
  }
  EXPECT_EQ(server_.InProcess()->CountRequests("TERMINATE"), c.terminated ? 1u : 0u);
  // A broken transfer gives up on the items after it.
  EXPECT_EQ(server_.InProcess()->CountRequests("GET"), c.end == WorkerEnd::kBroken ? 1u : 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DownloadWorkerFault,
    ::testing::Values(GetFault{"GET:code:0001", WorkerEnd::kFinished, false, true},
                      GetFault{"GET:code:OK", WorkerEnd::kFinished, true, true},
                      GetFault{"GET:empty:RESULT_CODE", WorkerEnd::kFinished, true, true},
                      GetFault{"GET:omit:RESULT_CODE", WorkerEnd::kFinished, false, true},
                      GetFault{"GET:omit:ENC_DATA", WorkerEnd::kFinished, false, true},
                      GetFault{"GET:empty:ENC_DATA", WorkerEnd::kFinished, false, true},
                      GetFault{"GET:truncate", WorkerEnd::kBroken, false, false},
                      GetFault{"GET:overannounce", WorkerEnd::kBroken, false, false},
                      GetFault{"GET:withhold", WorkerEnd::kBroken, false, false},
                      GetFault{"GET:refuse", WorkerEnd::kBroken, false, false}));
#endif

TEST_F(DownloadWorkerTest, RefusesFileSizesThatDoNotMatchTheBytes) {
  const SessionKeys keys = test::FixedKeys();
  struct {
    std::string plaintext;
    bool done;
    std::string stored;
  } const cases[] = {
      {"file_size=5&file_contents=hello", true, "hello"},
      {"file_size=3&file_contents=hello", true, "hel"},
      {"file_size=&file_contents=hello", true, ""},
      {"file_size=6&file_contents=hello", false, ""},
      {"file_size=-1&file_contents=hello", false, ""},
      {"file_size=99999999999999999999&file_contents=x", false, ""},
      {"file_size=5&contents=hello", false, ""},
      {"size=5&file_contents=hello", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plaintext);
    ScriptedGetServer server(test::GetReply(c.plaintext, keys));
    items_.clear();
    AddItem("x.dat");
    std::filesystem::remove(LocalPath(0));
    EXPECT_EQ(Run(server.Port(), keys), WorkerEnd::kFinished);
    EXPECT_EQ(items_[0].done, c.done ? 1 : 0);
    EXPECT_EQ(std::filesystem::exists(LocalPath(0)), c.done);
    if (c.done) {
      EXPECT_EQ(ReadFileBytes(LocalPath(0)), c.stored);
    }
  }
}

// The decrypting status, and Cancel off and on, come only once RESULT_CODE
// is 0 and ENC_DATA is there.
TEST_F(DownloadWorkerTest, ShowsDecryptionOnlyForAReplyWithEncryptedData) {
  const SessionKeys keys = test::FixedKeys();
  const std::string pem = test::EncryptedDataPem(test::FilePlaintext("data"), keys);
  const std::string ok = "<RESULT_CODE>0</RESULT_CODE>";
  struct {
    std::string reply;
    bool decrypting;
    bool done;
  } const cases[] = {
      {ok + "<ENC_DATA>" + pem + "</ENC_DATA>", true, true},
      {ok, false, false},
      {ok + "<ENC_DATA>" + pem, false, false},  // never closed
      {"<RESULT_CODE>1</RESULT_CODE><ENC_DATA>" + pem + "</ENC_DATA>", false, false},
      {ok + "<ENC_DATA>not PEM</ENC_DATA>", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply.substr(0, 60));
    ScriptedGetServer server(c.reply);
    items_.clear();
    AddItem("x.dat");
    view_.texts.clear();
    view_.cancelStates.clear();
    EXPECT_EQ(Run(server.Port(), keys), WorkerEnd::kFinished);
    EXPECT_EQ(items_[0].done, c.done ? 1 : 0);
    const auto statuses = view_.TextsOf(TransferField::kStatus);
    EXPECT_EQ(statuses.back() == kDecryptingText, c.decrypting);
    const std::vector<bool> expected =
        c.decrypting ? std::vector<bool>{false, true} : std::vector<bool>{};
    EXPECT_EQ(view_.cancelStates, expected);
  }
}

#ifndef _WIN32
// Natively every test runs in a process of its own, so the process's peak
// resident memory is this receive's. A reply held whole would need several
// times the file's size.
TEST_F(DownloadWorkerTest, ReceivesA256MiBFileInUnder64MiBOfMemory) {
  constexpr std::uint64_t kFileSize = std::uint64_t{256} << 20;
  constexpr std::uint32_t kSeed = 42;
  const SessionKeys keys = test::FixedKeys();
  ScriptedGetServer server([&](test::PeerConnection& connection) {
    test::StreamedGetReply reply(keys, kFileSize, kSeed);
    if (!connection.SendLength(static_cast<std::uint32_t>(reply.Length()))) return;
    std::vector<char> piece(65536);
    for (std::size_t k; (k = reply.Next(piece.data(), piece.size())) > 0;) {
      if (!connection.Send(piece.data(), k)) return;
    }
    connection.ReadReceipt(60000);
  });
  AddItem("big.dat");
  EXPECT_EQ(Run(server.Port(), keys, {3000, 3000, 60000, 60000}), WorkerEnd::kFinished);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LT(usage.ru_maxrss, 64 * 1024)
      << "peak resident memory " << usage.ru_maxrss / 1024 << " MiB";
  ASSERT_EQ(items_[0].done, 1);

  ASSERT_EQ(std::filesystem::file_size(LocalPath(0)), kFileSize);
  std::ifstream stored(LocalPath(0), std::ios::binary);
  std::vector<unsigned char> expected(1 << 20);
  std::vector<unsigned char> actual(1 << 20);
  for (std::uint64_t at = 0; at < kFileSize; at += expected.size()) {
    test::StreamedGetReply::FileBytes(kSeed, at, expected.data(), expected.size());
    stored.read(reinterpret_cast<char*>(actual.data()),
                static_cast<std::streamsize>(actual.size()));
    ASSERT_TRUE(stored && actual == expected) << "at " << at;
  }
}
#endif

TEST_F(DownloadWorkerTest, ReadsNothingBeyondTheAnnouncedLength) {
  const SessionKeys keys = test::FixedKeys();
  const std::string reply = test::GetReply(test::FilePlaintext("exact"), keys);
  ScriptedGetServer server([&](test::PeerConnection& connection) {
    connection.SendLength(static_cast<std::uint32_t>(reply.size()));
    connection.Send(reply + std::string(5000, 'z'));  // more than announced
    connection.ReadReceipt();
  });
  AddItem("x.dat");
  EXPECT_EQ(Run(server.Port(), keys), WorkerEnd::kFinished);
  EXPECT_EQ(items_[0].done, 1);
  EXPECT_EQ(ReadFileBytes(LocalPath(0)), "exact");
}

// Nothing is sized from the announced length, so one near the 32-bit limit
// is taken like any other (no allocation of L bytes, no wrap of L + 1024 in
// the i686 build): a peer that then stops short breaks the transfer, and the
// copy already there stays.
TEST_F(DownloadWorkerTest, ALengthNearTheLimitIsReceivedAndAShortReplyBreaks) {
  const SessionKeys keys = test::FixedKeys();
  const std::string start = test::GetReply(test::FilePlaintext("never complete"), keys);
  ScriptedGetServer server([&](test::PeerConnection& connection) {
    connection.Send(std::string("\xff\xff\xff\xf0", 4));
    connection.Send(start);
    connection.Close();
  });
  AddItem("first.dat");
  AddItem("second.dat");
  test::WriteFileBytes(LocalPath(0), kOldCopy);
  EXPECT_EQ(Run(server.Port(), keys), WorkerEnd::kBroken);
  ExpectFirstItemGivenUp();
  EXPECT_EQ(GetsAndTerminates(server), std::make_pair(1, 0));
  EXPECT_EQ(view_.TextsOf(TransferField::kSize).back(), SizeText(start.size(), 0xFFFFFFF0u));
}

// Each read comes in time; the reply as a whole does not.
TEST_F(DownloadWorkerTest, AReplyThatGainsTooLittleInItsPeriodBreaksTheTransfer) {
  const SessionKeys keys = test::FixedKeys();
  ScriptedGetServer server([&](test::PeerConnection& connection) {
    connection.Send(std::string("\0\0\x10\0", 4));  // 4096 announced
    for (int i = 0; i < 30; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (!connection.Send("x")) return;
    }
    connection.Close();
  });
  AddItem("a.dat");
  AddItem("b.dat");
  test::WriteFileBytes(LocalPath(0), kOldCopy);
  WorkerTimeouts timeouts = kTimeouts;
  timeouts.lowSpeedBytes = 1024;
  timeouts.lowSpeedTimeMs = 800;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(server.Port(), keys, timeouts), WorkerEnd::kBroken);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
  ExpectFirstItemGivenUp();
  EXPECT_EQ(GetsAndTerminates(server), std::make_pair(1, 0));
}

// Cancel while the server keeps the worker waiting: the item is given up
// within a slice, fails, the old file stays, and the session is still closed.
TEST_F(DownloadWorkerTest, CancelInTheMiddleOfAnItemEndsItPromptlyAndStillTerminates) {
  const SessionKeys keys = test::FixedKeys();
  const std::string start = test::GetReply(test::FilePlaintext("never complete"), keys);
  std::atomic<long long> cancelledAt{0};
  ScriptedGetServer server([&](test::PeerConnection& connection) {
    connection.SendLength(static_cast<std::uint32_t>(start.size() + 100));
    connection.Send(start);  // then nothing, until the client goes
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancelledAt = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
    cancel_ = true;
    connection.WaitClosed(4000);
  });
  AddItem("a.dat");
  AddItem("b.dat");
  test::WriteFileBytes(LocalPath(0), kOldCopy);
  EXPECT_EQ(Run(server.Port(), keys), WorkerEnd::kCancelled);
  const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
  EXPECT_LT(now - cancelledAt.load(), 1000);
  ExpectFirstItemGivenUp();
  EXPECT_EQ(items_[1].done, 0);
  EXPECT_EQ(GetsAndTerminates(server), std::make_pair(1, 1));
}

TEST_F(DownloadWorkerTest, AReplyThatStopsMidWayBreaksTheTransferWithoutTerminate) {
  const SessionKeys keys = test::FixedKeys();
  ScriptedGetServer server([&](test::PeerConnection& connection) {
    connection.Send(std::string("\0\0\x10\0", 4));  // 4096 announced
    connection.Send(std::string(100, 'x'));
    connection.Close();
  });
  AddItem("a.dat");
  AddItem("b.dat");
  EXPECT_EQ(Run(server.Port(), keys), WorkerEnd::kBroken);
  EXPECT_EQ(GetsAndTerminates(server), std::make_pair(1, 0));
}

}  // namespace
}  // namespace dovrel

namespace dovrel {
namespace {

using DownloadThreadTest = DownloadWorkerTest;

TEST_F(DownloadThreadTest, AnEndedWindowStopsTheWorkerDuringItsCurrentItem) {
  const SessionKeys keys = test::FixedKeys();
  const std::string reply = test::GetReply(test::FilePlaintext("slow"), keys);
  ScriptedGetServer server([&](test::PeerConnection& connection) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    connection.SendReply(reply);
    connection.ReadReceipt();
  });
  AddItem("first.dat");
  AddItem("second.dat");
  {
    DownloadThread thread(Job(server.Port(), keys));
    for (int i = 0; i < 500 && server.gets.load() == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(thread.Done());
  }  // the window goes during the first item: that one is given up, no other tried
  EXPECT_EQ(items_[0].done, 0);
  EXPECT_EQ(items_[1].done, 0);
  EXPECT_EQ(GetsAndTerminates(server), std::make_pair(1, 1));
}

// The waits every caller gets unless a test shortens them: the worker's for a
// file, and the Exchange's (key exchange, file list query, TERMINATE).
TEST(DefaultTimeouts, AreTheProtocolsWaits) {
  const WorkerTimeouts file;
  const ExchangeTimeouts exchange;
  const TransferJob job;
  const int cases[][2] = {
      {file.connectMs, 10000},
      {file.sendMs, 10000},
      {file.replyLengthMs, 300000},
      {file.payloadMs, 10000},
      {exchange.connectMs, 10000},
      {exchange.sendMs, 10000},
      {exchange.replyLengthMs, 20000},
      {exchange.payloadMs, 10000},
      {job.timeouts.replyLengthMs, 300000},
      {job.terminateTimeouts.replyLengthMs, 20000},
      {exchange.overallMs, 60000},
      {file.lowSpeedBytes, 1024},
      {file.lowSpeedTimeMs, 60000},
      {kCancelSliceMs, 250},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(cases[i][0], cases[i][1]) << "case " << i;
}

TEST_F(DownloadThreadTest, CancelDuringAnItemFailsItTerminatesAndDoneIsSetLast) {
  const SessionKeys keys = test::FixedKeys();
  ScriptedGetServer server(test::GetReply(test::FilePlaintext("x"), keys));
  AddItem("a.dat");
  AddItem("b.dat");
  std::atomic<DownloadThread*> running{nullptr};
  view_.onText = [&](TransferField field, const std::string&) {
    if (field != TransferField::kCount) return;
    for (int i = 0; i < 1000 && running.load() == nullptr; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    running.load()->RequestStop();  // asked during the first item
  };
  DownloadThread thread(Job(server.Port(), keys));
  running = &thread;
  // The flag is only set once the worker has returned.
  while (!thread.Done()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(server.terminates.load(), 1);
  EXPECT_EQ(thread.Wait(), WorkerEnd::kCancelled);
  EXPECT_EQ(items_[0].done, 0);
  EXPECT_EQ(items_[1].done, 0);
}

// The caller makes the thread. An owner that lets go leaves the run, and all it
// keeps, to the worker; one whose thread never starts is done at once.
TEST_F(DownloadThreadTest, TheRunOutlivesAnOwnerThatLetsGoAndEndsWithoutAThread) {
  const TransferJob job = Job(test::UnusedLoopbackPort(), test::FixedKeys());
  std::function<void()> held;
  auto keep = std::make_shared<int>(0);
  const std::weak_ptr<int> kept = keep;
  {
    DownloadThread thread(job, std::move(keep), [&](std::function<void()> body) {
      held = std::move(body);
      return true;
    });
    EXPECT_FALSE(thread.Done());
    thread.LetGo();
  }  // the worker has not even started
  EXPECT_FALSE(kept.expired());
  held();
  held = nullptr;
  EXPECT_TRUE(kept.expired());

  DownloadThread none(job, nullptr, [](const std::function<void()>&) { return false; });
  EXPECT_TRUE(none.Done());
  EXPECT_EQ(none.Wait(), WorkerEnd::kBroken);
}

}  // namespace
}  // namespace dovrel
