// The two reply frame readers over a real loopback connection: the Exchange's
// and the download worker's. A peer answers with the fuzzer's bytes, sent in
// pieces, and closes. The Exchange must take exactly the announced payload,
// cut to its buffer; the worker must store what the whole-reply rules store,
// or call the transfer broken when fewer bytes came than were announced.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "net/exchange.h"
#include "session/download_worker.h"
#include "session/file_names.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_keys.h"
#include "tests/support/scripted_get_server.h"
#include "tests/support/temp_folder.h"
#include "tests/session/whole_reply.h"

namespace {

using namespace dovrel;

// What the peer answers the next GET or Exchange with.
struct PeerAnswer {
  std::mutex lock;
  std::string frame;
  std::size_t maxPiece = 1;
};

PeerAnswer& Answer() {
  static PeerAnswer answer;
  return answer;
}

// Each GET is answered with the fuzzer's frame, sent in pieces.
void SendFrame(test::PeerConnection& connection) {
  std::string frame;
  std::size_t maxPiece = 1;
  {
    std::lock_guard<std::mutex> hold(Answer().lock);
    frame = Answer().frame;
    maxPiece = Answer().maxPiece;
  }
  for (std::size_t at = 0, piece = 0; at < frame.size(); at += piece) {
    piece = std::min(frame.size() - at, 1 + (at * 7919 + frame.size()) % maxPiece);
    if (!connection.Send(frame.data() + at, piece)) break;  // the reader stopped early
  }
}

test::ScriptedGetServer& Peer() {
  static test::ScriptedGetServer peer(SendFrame);
  return peer;
}

class SilentView : public TransferView {
 public:
  void SetText(TransferField, const std::string&) override {}
  void SetProgress(int) override {}
  void EnableCancel(bool) override {}
};

std::uint32_t Announced(const std::string& frame) {
  return ReadBigEndian32(reinterpret_cast<const unsigned char*>(frame.data()));
}

void CheckExchange(const std::string& frame, std::size_t capacity) {
  std::string reply(capacity, '\x7f');
  const int result = Exchange("127.0.0.1", Peer().Port(), "<X>1</X>", 8, reply.data(), capacity,
                              {2000, 2000, 2000, 2000});
  if (frame.size() < 4) {
    if (result != -1) fuzz::Fail("a reply closed inside its length was not a failed read");
    return;
  }
  const std::string payload = frame.substr(4);
  const std::size_t expected =
      std::min<std::size_t>({Announced(frame), capacity - 1, payload.size()});
  if (result != static_cast<int>(expected)) fuzz::Fail("the Exchange took another payload length");
  if (reply.compare(0, expected, payload, 0, expected) != 0 || reply[expected] != '\0')
    fuzz::Fail("the Exchange stored other bytes than the payload, or no terminating zero");
}

void CheckWorker(const std::string& frame, bool textMode) {
  const std::string path = fuzz::ScratchFolder() + (textMode ? "/107g.txt" : "/107g.dat");
  test::WriteFileBytes(path, "old");
  TransferItem item;
  SetFieldText(item.fileName, textMode ? "107g.txt" : "107g.dat");
  SetFieldText(item.localPath, path);
  std::atomic<bool> cancel{false};
  SilentView view;
  TransferJob job;
  std::strcpy(job.parameters.serverAddress, "127.0.0.1");
  job.parameters.serverPort = Peer().Port();
  job.keys = fuzz::FuzzKeys();
  job.items = &item;
  job.count = 1;
  job.cancel = &cancel;
  job.view = &view;
  job.wire = &IdentityWireText();
  job.timeouts = {2000, 2000, 2000, 2000};
  job.terminateTimeouts = {2000, 2000, 2000, 2000};
  const WorkerEnd end = RunDownloadWorker(job);

  const bool complete = frame.size() >= 4 && Announced(frame) <= frame.size() - 4;
  std::optional<std::string> expected;
  if (complete)
    expected = test::WholeReplyFile(frame.substr(4, Announced(frame)), job.keys, textMode);
  if ((end == WorkerEnd::kBroken) == complete)
    fuzz::Fail("a complete frame was called broken, or a short one was not");
  if ((item.done == 1) != expected.has_value())
    fuzz::Fail("the worker's item outcome differs from the whole-reply rules");
  if (test::ReadFileBytes(path) != (expected ? *expected : std::string("old")))
    fuzz::Fail("the worker stored other bytes than the whole-reply rules");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::uint8_t mode = input.Byte();
  const std::size_t maxPiece = 1 + input.Byte();
  const std::uint8_t shape = input.Byte();
  const std::string frame = input.Rest();
  if (!Peer().Listening()) fuzz::Fail("the loopback peer could not listen");
  {
    std::lock_guard<std::mutex> hold(Answer().lock);
    Answer().frame = frame;
    Answer().maxPiece = maxPiece;
  }
  if (mode & 1) {
    CheckWorker(frame, shape & 1);
  } else {
    CheckExchange(frame, 1 + shape);
  }
  return 0;
}
