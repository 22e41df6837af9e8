#pragma once
// What the listening thread and the connection threads share.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "server/file_server.h"
#include "server/session_table.h"
#include "server/socket_io.h"
#include "server/warning_rate.h"

namespace dovrel::server {

struct FileServer::State {
  State(const FileServerOptions& opts, SharedCredentials creds);

  void Warn(const std::string& text) const;
  std::vector<Fault> Faults() const;

  const FileServerOptions options;
  const SharedCredentials credentials;
  FileStore files;
  SessionTable sessions;
  RequestLog requests;
  StopSignal stop;
  unique_fd listener;
  int port = 0;

  mutable std::mutex faultMutex;
  std::vector<Fault> faults;

  // Connection threads by number, their sockets, and those that have ended
  // and wait to be joined.
  mutable std::mutex connectionMutex;
  mutable std::condition_variable connectionsChanged;
  std::map<std::uint64_t, std::thread> threads;
  std::map<std::uint64_t, int> sockets;
  std::map<std::uint32_t, int> connectionsByPeer;  // open connections by IPv4 address
  std::vector<std::uint64_t> finished;
  std::uint64_t nextConnection = 0;

  // Connections closed unserved because too many were open, in all or from
  // one address: the acceptor's own.
  WarningRate refusals{std::chrono::seconds(1)};
  WarningRate peerRefusals{std::chrono::seconds(1)};

  std::thread acceptor;
  std::once_flag stopOnce;
};

}  // namespace dovrel::server
