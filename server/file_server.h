#pragma once
// The reference file server: serves ROOT/YYYYMMDD/NAME over the framed
// Message protocol (INIT, KEYEXCHG, GETLIST, GET, TERMINATE), a thread per
// connection. Tests start it in-process on port 0 and read its request log;
// fault switches make it misbehave on purpose.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/credentials.h"
#include "server/faults.h"
#include "server/file_store.h"
#include "server/request_log.h"
#include "server/session_table.h"

namespace dovrel::server {

inline constexpr int kDefaultPort = 41900;
inline constexpr char kDefaultBindAddress[] = "127.0.0.1";
// A client makes one connection at a time; a few more leave room for the
// ones still closing and for a handful of users behind one address.
inline constexpr int kConnectionsPerPeer = 8;

struct FileServerOptions {
  std::string root;  // required: ROOT/YYYYMMDD/NAME
  std::string bindAddress = kDefaultBindAddress;
  int port = kDefaultPort;  // 0 picks a free port

  // The certificate and key: `credentials` when set; else the PEM files;
  // else those kept in `stateDir`; else a fresh pair (stored in `stateDir`
  // when given).
  SharedCredentials credentials;
  std::string certificateFile;
  std::string keyFile;
  std::string stateDir;

  std::string wireCharset = kDefaultWireCharset;
  int maxConnections = 32;  // more at once are closed at once
  // Of those, at most this many from one IPv4 address.
  int maxConnectionsPerPeer = kConnectionsPerPeer;
  int ioTimeoutMs = 10000;       // reading a request; each wait for send room
  int receiptTimeoutMs = 30000;  // the "@@@@" after a reply
  // A connection not through by then is closed, however it is getting on;
  // only the waits that fault switches ask for are added to it.
  int connectionLimitMs = 600000;
  int withholdLimitMs = 900000;  // a withheld reply waits at most this long for the client
  std::uint32_t maxRequestLength = 1024 * 1024;
  std::size_t maxSessions = kSessionCapacity;
  std::chrono::seconds sessionIdleLimit = kSessionIdleLimit;
  std::chrono::seconds unusedSessionIdleLimit = kUnusedSessionIdleLimit;  // no file asked for

  std::vector<Fault> faults;
  // Prints "request SERVICE" on standard output for every request read, for
  // tests that watch a server in another process; SERVICE is made printable
  // and cut to a bound, so that each request is one line.
  bool traceRequests = false;
  WarningSink warn;  // default: stderr
};

class FileServer {
 public:
  static std::unique_ptr<FileServer> Start(const FileServerOptions& options, std::string* error);
  ~FileServer();
  FileServer(const FileServer&) = delete;
  FileServer& operator=(const FileServer&) = delete;

  int Port() const;
  const std::string& BindAddress() const;
  const ServerCredentials& Credentials() const;

  // Closes the listening socket and every open connection and waits for all
  // threads. Safe to call more than once.
  void Stop();

  void SetFaults(std::vector<Fault> faults);
  void AddFault(Fault fault);
  void ClearFaults();

  std::vector<RequestRecord> Requests() const;
  std::size_t CountRequests(std::string_view service) const;
  void ClearRequests();
  // True once no connection is open (or was when the time ran out: false).
  bool WaitIdle(int timeoutMs) const;
  std::size_t SessionCount() const;

  struct State;

 private:
  explicit FileServer(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace dovrel::server
