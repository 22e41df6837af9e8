#include "cli/commands.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <thread>

#include "cli/console.h"
#include "net/resolve.h"
#include "session/download_thread.h"
#include "session/file_names.h"
#include "session/directory.h"
#include "session/file_list_exchange.h"
#include "session/transport_security.h"

namespace dovrel::cli {
namespace {

std::atomic<bool> cancelRequested{false};

extern "C" void OnInterrupt(int) { cancelRequested = true; }

// The session's parameters, or false after telling why.
bool MakeParameters(const Options& options, ReceiveParameters* parameters) {
  char address[kShortTextSize];
  if (ResolveServerName(options.server.c_str(), address, sizeof address) != 0) {
    std::fprintf(stderr, "dovrel: cannot resolve the server name %s\n", options.server.c_str());
    return false;
  }
  SetFieldText(parameters->serverAddress, address);
  SetFieldText(parameters->serverName, options.server);
  parameters->serverPort = options.port;
  SetFieldText(parameters->searchDate, options.date.empty() ? Today() : options.date);
  SetFieldText(parameters->userId, options.user);
  SetFieldText(parameters->receiveFolder, options.folder);
  return true;
}

// The test option stands in for the administrator's policy list.
ServerPins ServerPinsOf(const Options& options) {
  if (options.serverPins.empty()) return TrustedServerPins(ReadPolicyServerPins());
  std::string list;
  for (const std::string& pin : options.serverPins) list += pin + ",";
  return TrustedServerPins(list);
}

// How this run reaches the server, and the exchanges' bounds (which carry
// its TLS layer), shared by the file fetches.
struct RunAccess {
  ServerAccess server;
  ExchangeTimeouts timeouts;
};

// False after telling why the run cannot start.
bool MakeAccess(const Options& options, RunAccess* access) {
  access->server = MakeServerAccess(ServerPinsOf(options), options.tls, options.server);
  if (options.exchangeLimitMs >= 0) access->timeouts.overallMs = options.exchangeLimitMs;
  if (access->server.transport == Transport::kRefusedWithoutPins) {
    std::fprintf(stderr, "dovrel: %s (--server-pin)\n", kTlsWithoutPinsText);
    return false;
  }
  if (!access->server.Ready()) {
    std::fprintf(stderr, "dovrel: TLS cannot be set up\n");
    return false;
  }
  access->timeouts = access->server.With(access->timeouts);
  return true;
}

// After a failed conversation: what TLS had to do with it, if anything.
void ExplainTlsFailure(const RunAccess& access) {
  if (access.server.tls == nullptr) return;
  switch (access.server.tls->LastFailure()) {
    case TlsFailure::kNone:
      return;
    case TlsFailure::kCertificateRefused:
      std::fprintf(stderr, "dovrel: the server's TLS certificate is not one the pins name\n");
      return;
    case TlsFailure::kTimedOut:
      std::fprintf(stderr, "dovrel: the TLS handshake did not finish in time\n");
      return;
    case TlsFailure::kHandshake:
      std::fprintf(stderr, "dovrel: no TLS session with the server (does it speak TLS?)\n");
      return;
  }
}

// The server's names for the date; false when the query failed (already shown).
bool ListServerFiles(const RunAccess& access, ReceiveParameters& parameters, bool showBusy,
                     std::vector<std::string>* names) {
  ConsoleListView view(FieldText(parameters.searchDate), showBusy);
  std::vector<TransferItem> serverFiles;
  if (QueryFileList(parameters, view, serverFiles, access.timeouts, access.server.pins) <= 0) {
    ExplainTlsFailure(access);
    return false;
  }
  *names = view.Names();
  return true;
}

long long StoredSize(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return -1;
  long long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
  std::fclose(file);
  return size;
}

}  // namespace

std::string Today() {
  std::time_t now = std::time(nullptr);
  char text[16] = "";
  if (const std::tm* local = std::localtime(&now))
    std::strftime(text, sizeof text, "%Y%m%d", local);
  return text;
}

int RunList(const Options& options) {
  ReceiveParameters parameters;
  RunAccess access;
  if (!MakeParameters(options, &parameters) || !MakeAccess(options, &access))
    return kExitServerError;
  std::vector<std::string> names;
  if (!ListServerFiles(access, parameters, IsTerminal(stderr), &names)) return kExitServerError;
  for (const std::string& name : names)
    std::printf("%s\n", WireToUtf8(PlatformWireText(), name).c_str());
  return kExitOk;
}

int RunReceive(const Options& options) {
  ReceiveParameters parameters;
  RunAccess access;
  if (!MakeParameters(options, &parameters) || !MakeAccess(options, &access))
    return kExitServerError;
  if (!PlatformDirectorySource().Exists(options.folder) || options.folder.size() >= kPathSize) {
    std::fprintf(stderr, "dovrel: the receive folder %s does not exist\n", options.folder.c_str());
    return kExitLocalError;
  }
  const bool terminal = IsTerminal(stdout);

  std::vector<std::string> wireNames;
  if (options.all) {
    if (!ListServerFiles(access, parameters, IsTerminal(stderr), &wireNames))
      return kExitServerError;
  } else {
    for (const std::string& name : options.names) {
      std::string wire;
      if (!ArgumentToWire(name, &wire)) {
        std::fprintf(stderr, "dovrel: %s cannot be written in the server's code page\n",
                     name.c_str());
        return kExitUsage;
      }
      wireNames.push_back(wire);
    }
  }

  std::vector<TransferItem> items = ItemsForNames(options.folder, wireNames, PlatformWireText());

  TransferJob job;
  job.parameters = parameters;
  job.terminateTimeouts = access.timeouts;
  job.tls = access.timeouts.tls;
  if (options.speedTimeMs >= 0) job.timeouts.lowSpeedTimeMs = options.speedTimeMs;
  ConsoleSessionHost host(IsTerminal(stderr));
  if (OpenSecureSession(parameters, &job.keys, host, access.timeouts, access.server.pins) !=
      KeyExchangeResult::kOpened) {
    ExplainTlsFailure(access);
    std::fprintf(stderr, "dovrel: the secure session could not be opened\n");
    return kExitServerError;
  }

  ConsoleTransferView view(terminal, options.quiet);
  job.items = items.data();
  job.count = static_cast<int>(items.size());
  job.view = &view;
  job.wire = &PlatformWireText();
  std::signal(SIGINT, OnInterrupt);
  const auto started = std::chrono::steady_clock::now();
  DownloadThread worker(job);
  // Ctrl-C asks for a cancel: the file under way is given up, then TERMINATE.
  while (!worker.Done()) {
    const auto elapsed = std::chrono::steady_clock::now() - started;
    if (options.cancelAfterMs >= 0 && elapsed >= std::chrono::milliseconds(options.cancelAfterMs))
      cancelRequested = true;
    if (cancelRequested) worker.RequestStop();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const WorkerEnd end = worker.Wait();
  view.Finish();

  int received = 0;
  for (const TransferItem& item : items) {
    const std::string name = WireToUtf8(PlatformWireText(), FieldText(item.fileName));
    if (item.done) {
      ++received;
      std::printf("received  %12lld  %s\n", StoredSize(item.localPath), name.c_str());
    } else {
      std::printf("FAILED    %12s  %s\n", "-", name.c_str());
    }
  }
  std::printf("%d of %zu files received\n", received, items.size());
  if (end == WorkerEnd::kBroken) std::fprintf(stderr, "dovrel: the transfer broke off\n");
  if (end == WorkerEnd::kCancelled) std::fprintf(stderr, "dovrel: cancelled\n");
  if (received == static_cast<int>(items.size())) return kExitOk;
  return end == WorkerEnd::kBroken ? kExitServerError : kExitSomeFailed;
}

}  // namespace dovrel::cli
