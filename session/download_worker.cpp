#include "session/download_worker.h"

#include <cstring>
#include <memory>
#include <new>

#include "net/message.h"
#include "net/socket.h"
#include "session/file_names.h"
#include "session/file_output.h"
#include "session/pkcs7.h"
#include "session/progress_text.h"
#include "session/reply_decryptor.h"

namespace dovrel {
namespace {

constexpr int kReadSize = 2048;
constexpr std::size_t kRequestSize = 3072;
constexpr std::size_t kReplySlack = 1024;
constexpr std::size_t kTerminateReplySize = 5120;

enum class ItemEnd { kDone, kFailed, kBroken };

// Shows texts and positions only when they change: a large file makes tens of
// thousands of reads, and each update crosses to the window's thread.
class ProgressReporter {
 public:
  explicit ProgressReporter(TransferView& view) : view_(view) {}
  void Text(int control, const std::string& text) { view_.SetText(control, text); }
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
    std::string text = SizeText(received, total);
    if (text == lastSize_) return;
    lastSize_ = text;
    view_.SetText(kSizeTextControl, text);
  }
  void ClearSize() {
    lastSize_.clear();
    view_.SetText(kSizeTextControl, "");
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
      if (Fetch(item, i) == ItemEnd::kBroken) return WorkerEnd::kBroken;
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
    progress_.Text(kFileNameText, WireToUtf8(*job_.wire, FieldText(item.fileName)));
    progress_.Text(kCountText, CountText(job_.count, index + 1));
    progress_.ClearSize();
    progress_.Text(kStatusText, kConnectingText);

    // A name the server chose must not lead the file out of the receive folder.
    if (requestLength < 0 || !IsSafeFileName(FieldText(item.fileName)) || item.localPath[0] == '\0')
      return ItemEnd::kFailed;

    std::unique_ptr<char[]> reply;
    std::unique_ptr<ReplyDecryptor> decryptor;
    std::size_t received = 0;
    ItemEnd end = Receive(request, requestLength, &reply, &decryptor, &received);
    if (end != ItemEnd::kDone) return end;
    return Store(item, reply.get(), received, *decryptor);
  }

  // Sends the GET and receives its reply whole. kFailed: no connection, or a
  // reply refused for its size; kBroken: the reply stopped arriving.
  ItemEnd Receive(const char* request, int requestLength, std::unique_ptr<char[]>* reply,
                  std::unique_ptr<ReplyDecryptor>* decryptor, std::size_t* received) {
    std::uint32_t address = 0;
    ClientSocket socket;
    if (!ParseIPv4(job_.parameters.serverAddress, &address) ||
        !socket.Connect(address, job_.parameters.serverPort, job_.timeouts.connectMs))
      return ItemEnd::kFailed;

    unsigned char head[kRequestHeadLength];
    MakeRequestHead(static_cast<std::uint32_t>(requestLength), head);
    socket.Send(head, kRequestHeadLength, job_.timeouts.sendMs);
    progress_.ResetProgress();
    socket.Send(request, requestLength, job_.timeouts.sendMs);
    progress_.Text(kStatusText, kWaitingText);

    unsigned char lengthBytes[4];
    for (int have = 0; have < 4;) {
      int n = socket.Receive(lengthBytes + have, 4 - have, job_.timeouts.replyLengthMs);
      if (n <= 0) return Broken(socket);
      have += n;
    }
    const std::uint32_t length = ReadBigEndian32(lengthBytes);
    progress_.Text(kStatusText, kTransferringText);
    if (length > kMaxFileReply) return Refuse(socket);
    reply->reset(new (std::nothrow) char[length + kReplySlack]);
    if (!*reply) return Refuse(socket);

    char* buffer = reply->get();
    // The file is decrypted as it arrives, over the reply buffer itself.
    *decryptor = std::make_unique<ReplyDecryptor>(buffer, length, job_.keys);
    std::size_t total = 0;
    // Nothing past the announced length is read, so the buffer cannot overflow
    // whatever the server sends.
    while (total < length) {
      int want = static_cast<int>(std::min<std::size_t>(length - total, kReadSize));
      int n = socket.Receive(buffer + total, want, job_.timeouts.payloadMs);
      if (n <= 0) return Broken(socket);
      total += static_cast<std::size_t>(n);
      (*decryptor)->Advance(total);
      progress_.Progress(ProgressPosition(total, length));
      progress_.Size(total, length);
    }
    std::memset(buffer + total, 0, kReplySlack);
    *received = total;
    socket.Send(kReceiptMarker, kReceiptMarkerLength, job_.timeouts.sendMs);
    socket.Close();
    return ItemEnd::kDone;
  }

  ItemEnd Broken(ClientSocket& socket) {
    socket.Send(kReceiptMarker, kReceiptMarkerLength, job_.timeouts.sendMs);
    socket.Close();
    return ItemEnd::kBroken;
  }

  ItemEnd Refuse(ClientSocket& socket) {
    socket.Send(kReceiptMarker, kReceiptMarkerLength, job_.timeouts.sendMs);
    socket.Close();
    return ItemEnd::kFailed;
  }

  ItemEnd Store(TransferItem& item, char* reply, std::size_t length, ReplyDecryptor& decryptor) {
    std::string_view document(reply, length);
    auto resultCode = FindElementText(document, "RESULT_CODE");
    if (!resultCode || ParseLeadingInteger(std::string(*resultCode).c_str()) != 0) return ItemEnd::kFailed;

    progress_.Text(kStatusText, kDecryptingText);
    progress_.Cancel(false);
    bool stored = false;
    unsigned char* plain = nullptr;
    std::size_t plainLength = 0;
    switch (decryptor.Finish(length, &plain, &plainLength)) {
      case ReplyDecryptor::Outcome::kDecrypted:
        stored = StorePlaintext(item, plain, plainLength);
        break;
      case ReplyDecryptor::Outcome::kNotStarted:
        stored = DecryptAndStore(item, reply, document);
        break;
      case ReplyDecryptor::Outcome::kFailed:
        break;
    }
    progress_.Cancel(true);
    if (!stored) return ItemEnd::kFailed;
    item.done = 1;
    return ItemEnd::kDone;
  }

  // The whole-reply path, for a reply whose ENC_DATA was not decrypted as it came.
  bool DecryptAndStore(const TransferItem& item, char* reply, std::string_view document) {
    auto encrypted = FindElementText(document, "ENC_DATA");
    if (!encrypted) return false;
    CryptoErrorRecord error{};
    unsigned char* plain = nullptr;
    std::ptrdiff_t plainLength = DecryptEncryptedDataInPlace(
        reply + (encrypted->data() - reply), encrypted->size(), kArmourPem, job_.keys.sessionKey,
        sizeof job_.keys.sessionKey, job_.keys.initVector, sizeof job_.keys.initVector, &plain,
        &error);
    if (plainLength < 0) return false;
    return StorePlaintext(item, plain, static_cast<std::size_t>(plainLength));
  }

  bool StorePlaintext(const TransferItem& item, const unsigned char* plain, std::size_t plainLength) {
    if (plainLength == 0) return false;
    std::string_view text(reinterpret_cast<const char*>(plain), plainLength);

    auto sizeValue = FindParameterText(text, "file_size");
    if (!sizeValue) return false;
    const long fileSize = ParseLeadingInteger(std::string(sizeValue->substr(0, 3071)).c_str());
    // The key is looked for in the text part only: the file's bytes follow it.
    std::string_view searchable = text.substr(0, text.find('\0'));
    std::size_t key = searchable.find("file_contents");
    if (key == std::string_view::npos || fileSize < 0) return false;
    const std::size_t start = key + 14;  // the key and one separator character
    if (start > text.size() || static_cast<unsigned long>(fileSize) > text.size() - start) return false;
    return StoreFile(item.localPath, plain + start, static_cast<std::size_t>(fileSize),
                     IsTextModePath(item.localPath));
  }

  void Terminate() {
    char request[kRequestSize];
    int length = BuildRequest({{"SERVICE_CODE", "TERMINATE"}, {"SKEY", job_.keys.skey}}, request,
                              sizeof request);
    std::unique_ptr<char[]> reply(new char[kTerminateReplySize]());
    if (length >= 0)
      Exchange(job_.parameters.serverAddress, job_.parameters.serverPort, request, length,
               reply.get(), kTerminateReplySize, job_.terminateTimeouts);
  }

  const TransferJob& job_;
  ProgressReporter progress_;
};

}  // namespace

WorkerEnd RunDownloadWorker(const TransferJob& job) {
  if (job.view == nullptr || job.wire == nullptr || (job.count > 0 && job.items == nullptr))
    return WorkerEnd::kBroken;
  return Worker(job).Run();
}

}  // namespace dovrel
