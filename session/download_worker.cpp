#include "session/download_worker.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "net/message.h"
#include "net/socket.h"
#include "net/wait_limits.h"
#include "session/file_names.h"
#include "session/file_output.h"
#include "session/progress_text.h"
#include "session/reply_stream.h"

namespace dovrel {
namespace {

constexpr int kReadSize = 2048;
constexpr std::size_t kRequestSize = 3072;
constexpr std::size_t kTerminateReplySize = 5120;

enum class ItemEnd { kDone, kFailed, kBroken, kCancelled };

// Keeps the worker's waits short while the Cancel flag is clear.
class CancelHook final : public WaitHook {
 public:
  explicit CancelHook(const std::atomic<bool>* cancel) : cancel_(cancel) {}
  int SliceMs() const override { return kCancelSliceMs; }
  bool Continue() override { return cancel_ == nullptr || !cancel_->load(); }

 private:
  const std::atomic<bool>* cancel_;
};

// Shows texts and positions only when they change: a large file makes tens of
// thousands of reads, and each update crosses to the window's thread.
class ProgressReporter {
 public:
  explicit ProgressReporter(TransferView& view) : view_(view) {}
  void Text(TransferField field, const std::string& text) { view_.SetText(field, text); }
  void Progress(int position) {
    if (position == lastPosition_) return;
    lastPosition_ = position;
    view_.SetProgress(position);
  }
  void ResetProgress() {
    lastPosition_ = 0;
    view_.SetProgress(0);
  }
  void Size(std::uint64_t received, std::uint64_t total) {
    view_.SetBytes(received, total);
    std::string text = SizeText(received, total);
    if (text == lastSize_) return;
    lastSize_ = text;
    view_.SetText(TransferField::kSize, text);
  }
  void ClearSize() {
    lastSize_.clear();
    view_.SetText(TransferField::kSize, "");
  }
  void Cancel(bool enabled) { view_.EnableCancel(enabled); }

 private:
  TransferView& view_;
  int lastPosition_ = -1;
  std::string lastSize_;
};

class Worker {
 public:
  explicit Worker(const TransferJob& job) : job_(job), progress_(*job.view) {}

  WorkerEnd Run() {
    for (int i = 0; i < job_.count; ++i) {
      if (job_.cancel != nullptr && job_.cancel->load()) {
        Terminate();
        return WorkerEnd::kCancelled;
      }
      TransferItem& item = job_.items[i];
      const ItemEnd end = Fetch(item, i);
      if (end == ItemEnd::kBroken) return WorkerEnd::kBroken;
      if (end == ItemEnd::kCancelled) {
        Terminate();
        return WorkerEnd::kCancelled;
      }
    }
    Terminate();
    return WorkerEnd::kFinished;
  }

 private:
  ItemEnd Fetch(TransferItem& item, int index) {
    progress_.ResetProgress();
    char request[kRequestSize];
    const int requestLength = BuildRequest({{"SERVICE_CODE", "GET"},
                                            {"SKEY", job_.keys.skey},
                                            {"USERID", job_.parameters.userId},
                                            {"FILE_NAME", item.fileName}},
                                           request, sizeof request);
    progress_.Text(TransferField::kFileName, WireToUtf8(*job_.wire, FieldText(item.fileName)));
    progress_.Text(TransferField::kCount, CountText(job_.count, index + 1));
    progress_.ClearSize();
    progress_.Text(TransferField::kStatus, kConnectingText);

    // A name the server chose must not lead the file out of the receive folder.
    if (requestLength < 0 || !IsSafeFileName(FieldText(item.fileName)) || item.localPath[0] == '\0')
      return ItemEnd::kFailed;

    // The reply goes straight through to a temporary file beside the local
    // path; the item's outcome is decided once all of it is in.
    auto reply =
        std::make_unique<ReplyStream>(item.localPath, IsTextModePath(item.localPath), job_.keys);
    ItemEnd end = Receive(request, requestLength, *reply);
    if (end != ItemEnd::kDone) return end;
    if (!reply->ResultCodeIsZero() || !reply->HasEncryptedData()) return ItemEnd::kFailed;

    progress_.Text(TransferField::kStatus, kDecryptingText);
    progress_.Cancel(false);
    const bool stored = reply->Store();
    progress_.Cancel(true);
    if (!stored) return ItemEnd::kFailed;
    item.done = 1;
    return ItemEnd::kDone;
  }

  // Sends the GET and takes its reply, up to the announced length and no
  // further. kFailed: no connection; kBroken: the reply stopped arriving, or
  // came too slowly; kCancelled: the Cancel flag was set meanwhile.
  ItemEnd Receive(const char* request, int requestLength, ReplyStream& reply) {
    std::uint32_t address = 0;
    CancelHook hook(job_.cancel);
    ClientSocket socket;
    socket.SetWaitHook(&hook);
    if (!ParseIPv4(job_.parameters.serverAddress, &address) ||
        !socket.Connect(address, job_.parameters.serverPort, job_.timeouts.connectMs))
      return ItemEnd::kFailed;
    if (job_.tls != nullptr && !socket.StartTls(*job_.tls, job_.timeouts.connectMs))
      return Cancelled() ? ItemEnd::kCancelled : ItemEnd::kFailed;

    unsigned char head[kRequestHeadLength];
    MakeRequestHead(static_cast<std::uint32_t>(requestLength), head);
    socket.Send(head, kRequestHeadLength, job_.timeouts.sendMs);
    progress_.ResetProgress();
    socket.Send(request, requestLength, job_.timeouts.sendMs);
    progress_.Text(TransferField::kStatus, kWaitingText);

    // The four bytes of the length come within one wait, however they are split.
    unsigned char lengthBytes[4];
    const std::int64_t lengthDeadline = DeadlineAfter(MonotonicMs(), job_.timeouts.replyLengthMs);
    for (int have = 0; have < 4;) {
      const int wait = TimeLeftMs(MonotonicMs(), lengthDeadline, job_.timeouts.replyLengthMs);
      const int n = wait > 0 ? socket.Receive(lengthBytes + have, 4 - have, wait) : 0;
      if (n <= 0) return GiveUp(socket);
      have += n;
    }
    // Any length up to 0xFFFFFFFF: nothing is sized from it.
    const std::uint64_t length = ReadBigEndian32(lengthBytes);
    reply.Announce(length);
    progress_.Text(TransferField::kStatus, kTransferringText);

    char buffer[kReadSize];
    std::uint64_t total = 0;
    LowSpeedRule speed(static_cast<std::uint64_t>(std::max(job_.timeouts.lowSpeedBytes, 0)),
                       job_.timeouts.lowSpeedTimeMs);
    speed.Start(MonotonicMs(), 0);
    while (total < length) {
      // A steady stream is stopped by Cancel too, not only a slow one.
      if (Cancelled()) return GiveUp(socket);
      int want = static_cast<int>(std::min<std::uint64_t>(length - total, kReadSize));
      const int wait = TimeLeftMs(MonotonicMs(), speed.DeadlineMs(), job_.timeouts.payloadMs);
      const int n = wait > 0 ? socket.Receive(buffer, want, wait) : 0;
      if (n <= 0) return GiveUp(socket);
      total += static_cast<std::uint64_t>(n);
      speed.Update(MonotonicMs(), total);
      reply.Feed(buffer, static_cast<std::size_t>(n));
      progress_.Progress(ProgressPosition(total, length));
      progress_.Size(total, length);
    }
    socket.Send(kReceiptMarker, kReceiptMarkerLength, job_.timeouts.sendMs);
    socket.Close();
    return ItemEnd::kDone;
  }

  bool Cancelled() const { return job_.cancel != nullptr && job_.cancel->load(); }

  // A read brought nothing: the user's cancel, or a broken transfer.
  ItemEnd GiveUp(ClientSocket& socket) {
    socket.Send(kReceiptMarker, kReceiptMarkerLength, job_.timeouts.sendMs);
    socket.Close();
    return Cancelled() ? ItemEnd::kCancelled : ItemEnd::kBroken;
  }

  void Terminate() {
    char request[kRequestSize];
    int length = BuildRequest({{"SERVICE_CODE", "TERMINATE"}, {"SKEY", job_.keys.skey}}, request,
                              sizeof request);
    std::unique_ptr<char[]> reply(new char[kTerminateReplySize]());
    ExchangeTimeouts timeouts = job_.terminateTimeouts;
    timeouts.tls = job_.tls;
    if (length >= 0)
      Exchange(job_.parameters.serverAddress, job_.parameters.serverPort, request, length,
               reply.get(), kTerminateReplySize, timeouts);
  }

  const TransferJob& job_;
  ProgressReporter progress_;
};

}  // namespace

WorkerEnd RunDownloadWorker(const TransferJob& job) {
  if (job.view == nullptr || job.wire == nullptr || (job.count > 0 && job.items == nullptr))
    return WorkerEnd::kBroken;
  // Temporaries of a run that died mid-transfer would otherwise stay for ever.
  RemoveStalePartFiles(job.parameters.receiveFolder);
  return Worker(job).Run();
}

}  // namespace dovrel
