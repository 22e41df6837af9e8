// dovrel_soak: runs many receive sessions in one process, each as the receive
// window runs one (the file list query, the key exchange, the download worker
// on its own thread over three files), and checks that the process's memory
// and open descriptors or handles stay flat. Natively the reference server
// runs in this process; under Wine the soak script has started it.
//   dovrel_soak [--sessions N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/console.h"
#include "session/download_thread.h"
#include "session/file_names.h"
#include "tests/soak/process_figures.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_server.h"
#include "session/file_list_exchange.h"

#ifndef _WIN32
#include "server/file_server.h"
#endif

namespace dovrel::soak {
namespace {

// A binary file, a text file stored with CR LF and one with a Korean name.
const char* const kSessionFiles[] = {"statement.dat", "readme.rst", "107자료.txt"};
constexpr int kDefaultSessions = 1000;

// One session; false after printing why it failed.
bool RunSession(int port, const std::string& folder) {
  ReceiveParameters parameters;
  SetFieldText(parameters.serverAddress, "127.0.0.1");
  parameters.serverPort = port;
  SetFieldText(parameters.userId, "soak");
  cli::ConsoleListView listView(test::kSampleDate, false);
  std::vector<TransferItem> serverFiles;
  if (QueryFileList(parameters, listView, serverFiles) <= 0) return false;

  std::vector<TransferItem> items;
  for (const char* utf8 : kSessionFiles) {
    std::string wire;
    if (!PlatformWireText().FromUtf8(utf8, &wire)) return false;
    bool listed = false;
    for (const TransferItem& file : serverFiles)
      listed = listed || FieldText(file.fileName) == wire;
    TransferItem item;
    SetFieldText(item.fileName, wire);
    if (!listed ||
        !MakeLocalPath(folder, wire, PlatformWireText(), item.localPath, sizeof item.localPath)) {
      std::fprintf(stderr, "dovrel_soak: %s is not listed or has no local path\n", utf8);
      return false;
    }
    items.push_back(item);
  }

  TransferJob job;
  job.parameters = parameters;
  cli::ConsoleSessionHost host(false);
  if (OpenSecureSession(parameters, &job.keys, host) != KeyExchangeResult::kOpened) return false;
  cli::ConsoleTransferView view(false, true);
  job.items = items.data();
  job.count = static_cast<int>(items.size());
  job.view = &view;
  job.wire = &PlatformWireText();
  DownloadThread worker(job);
  if (worker.Wait() != WorkerEnd::kFinished) return false;
  for (const TransferItem& item : items) {
    if (!item.done) return false;
  }
  return true;
}

void Print(int session, const char* what, const ProcessFigures& figures) {
  std::printf("session %5d (%s): %s %lld KiB, %s %lld\n", session, what, kMemoryLabel,
              figures.memoryKib, kHandlesLabel, figures.handles);
  std::fflush(stdout);
}

int Run(int sessions) {
  test::TestServer server("plain");
  if (!server.Ready()) {
    std::fprintf(stderr, "dovrel_soak: no reference server: %s\n", server.Error().c_str());
    return 2;
  }
  test::TempFolder folder;
  if (!folder.Ok()) {
    std::fprintf(stderr, "dovrel_soak: no receive folder\n");
    return 2;
  }
  // The baseline is taken once libcrypto, the allocator's caches and the
  // server's session table have had a tenth of the run to settle.
  const int warmUp = sessions >= 10 ? sessions / 10 : 1;
  ProcessFigures baseline;
  for (int session = 1; session <= sessions; ++session) {
    if (!RunSession(server.Port(), folder.Text())) {
      std::fprintf(stderr, "dovrel_soak: session %d failed\n", session);
      return 1;
    }
#ifndef _WIN32
    // The server's connection threads close their sockets after the client's;
    // its request log (bounded, for tests) would grow for the first 600 sessions.
    if (server.InProcess() != nullptr) {
      server.InProcess()->WaitIdle(5000);
      server.InProcess()->ClearRequests();
    }
#endif
    const bool checkpoint =
        session == 1 || session == warmUp || session == sessions / 2 || session == sessions;
    if (!checkpoint) continue;
    const ProcessFigures figures = ReadProcessFigures();
    if (session == 1) Print(session, "first", figures);
    if (session == warmUp) {
      baseline = figures;
      Print(session, "warmed up", figures);
    }
    if (session == sessions / 2 && session > warmUp) Print(session, "middle", figures);
    if (session == sessions && session > warmUp) Print(session, "last", figures);
    if (session == sessions && !StaysFlat(baseline, figures)) {
      std::printf(
          "NOT FLAT: grew beyond %lld KiB (or a twentieth) of memory or %lld %s since session %d\n",
          kMemorySlackKib, kHandleSlack, kHandlesLabel, warmUp);
      return 1;
    }
  }
  std::printf("flat: %d sessions\n", sessions);
  return 0;
}

}  // namespace
}  // namespace dovrel::soak

int main(int argc, char** argv) {
  int sessions = dovrel::soak::kDefaultSessions;
  if (argc == 3 && std::strcmp(argv[1], "--sessions") == 0) {
    char* end = nullptr;
    const long count = std::strtol(argv[2], &end, 10);
    sessions = *end == '\0' && count > 0 && count <= 1000000 ? static_cast<int>(count) : 0;
  } else if (argc != 1) {
    sessions = 0;
  }
  if (sessions < 1) {
    std::fprintf(stderr, "usage: dovrel_soak [--sessions N]\n");
    return 64;
  }
  return dovrel::soak::Run(sessions);
}
