#pragma once
// Fetches each chosen file over the open secure session: GET on a connection
// of its own, ENC_DATA decrypted with the session key while it arrives and
// stored, the item marked done; then TERMINATE. Runs on a thread of its own and
// reports progress through a view of its own fields.

#include <atomic>
#include <cstdint>
#include <string>

#include "net/exchange.h"
#include "net/wire_text.h"
#include "session/session_keys.h"
#include "base/transfer_item.h"
#include "base/receive_parameters.h"

namespace dovrel {

// The texts the worker reports; each view decides where it shows them.
enum class TransferField { kStatus, kFileName, kSize, kCount };

inline constexpr char kConnectingText[] = "서버 접속중입니다";
inline constexpr char kWaitingText[] = "응답을 기다리고 있습니다";
inline constexpr char kTransferringText[] = "파일 전송중입니다";
inline constexpr char kDecryptingText[] = "전송된 파일복호화 중입니다";

class TransferView {
 public:
  virtual ~TransferView() = default;
  virtual void SetText(TransferField field, const std::string& utf8) = 0;
  virtual void SetProgress(int position) = 0;  // 0 to 100
  virtual void EnableCancel(bool enabled) = 0;
  // The reply's bytes so far and the length the server announced, after each
  // read; a view that shows only the texts ignores them.
  virtual void SetBytes(std::uint64_t /*received*/, std::uint64_t /*total*/) {}
};

struct WorkerTimeouts {
  int connectMs = 10000;
  int sendMs = 10000;
  int replyLengthMs = 300000;  // the server may take minutes to prepare a file
  int payloadMs = 10000;
  // The low-speed rule (net/wait_limits.h): a reply that gains fewer than
  // lowSpeedBytes within lowSpeedTimeMs is a broken transfer.
  int lowSpeedBytes = 1024;
  int lowSpeedTimeMs = 60000;
};

// The worker's waits go in slices of this length and end early once the
// Cancel flag is set.
inline constexpr int kCancelSliceMs = 250;

struct TransferJob {
  ReceiveParameters parameters;  // server address, port and user id
  SessionKeys keys;
  TransferItem* items = nullptr;
  int count = 0;
  // Read before each item and between the slices and reads of an item.
  const std::atomic<bool>* cancel = nullptr;
  TransferView* view = nullptr;
  const WireText* wire = nullptr;  // file names as the view shows them
  WorkerTimeouts timeouts;
  ExchangeTimeouts terminateTimeouts;
  // With it, every GET and the TERMINATE run inside TLS; the handshake is
  // bounded like the connect. Must outlive the worker.
  const TlsClient* tls = nullptr;
};

enum class WorkerEnd {
  kFinished,   // every item attempted, TERMINATE sent
  kCancelled,  // stopped before or during an item (which then failed), TERMINATE sent
  kBroken,     // a reply stopped arriving: no TERMINATE, later items not tried
};

// Runs the download loop on the calling thread.
WorkerEnd RunDownloadWorker(const TransferJob& job);

}  // namespace dovrel
