#include "server/file_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "net/wire_text.h"
#include "server/connection.h"
#include "server/server_state.h"
#include "pkcs7/crypto_init.h"

namespace dovrel::server {
namespace {

void WarnToStandardError(const std::string& text) {
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  std::fprintf(stderr, "dovrel-fileserver: warning: %s\n", text.c_str());
  std::fflush(stderr);
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The listening socket on address:port, or an empty one with `error` set.
unique_fd Listen(const std::string& address, int port, int* boundPort, std::string* error) {
  const std::string where = address + ":" + std::to_string(port);
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_port = htons(static_cast<std::uint16_t>(port));
  if (port < 0 || port > 65535 ||
      inet_pton(AF_INET, address.c_str(), &socketAddress.sin_addr) != 1) {
    *error = "not an IPv4 address and port: " + where;
    return unique_fd();
  }
  unique_fd listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const int on = 1;
  if (!listener || setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(listener.get(), reinterpret_cast<const sockaddr*>(&socketAddress),
           sizeof socketAddress) != 0 ||
      listen(listener.get(), 64) != 0) {
    *error = "cannot listen on " + where + ": " + std::strerror(errno);
    return unique_fd();
  }
  socklen_t size = sizeof socketAddress;
  if (getsockname(listener.get(), reinterpret_cast<sockaddr*>(&socketAddress), &size) != 0) {
    *error = "cannot read the bound port: " + std::string(std::strerror(errno));
    return unique_fd();
  }
  *boundPort = ntohs(socketAddress.sin_port);
  return listener;
}

void RunConnection(FileServer::State* state, std::uint64_t number, int socket, std::uint32_t peer) {
  ServeConnection(socket, *state);
  std::lock_guard<std::mutex> lock(state->connectionMutex);
  state->sockets.erase(number);
  if (--state->connectionsByPeer[peer] == 0) state->connectionsByPeer.erase(peer);
  ::close(socket);
  state->finished.push_back(number);
  state->connectionsChanged.notify_all();
}

// Joins the threads of connections that have ended.
void ReapFinished(FileServer::State* state) {
  std::vector<std::thread> ended;
  {
    std::lock_guard<std::mutex> lock(state->connectionMutex);
    for (std::uint64_t number : state->finished) {
      auto it = state->threads.find(number);
      if (it == state->threads.end()) continue;
      ended.push_back(std::move(it->second));
      state->threads.erase(it);
    }
    state->finished.clear();
  }
  for (std::thread& thread : ended) thread.join();
}

// At most one line a second of each kind, however many connections are refused.
void WarnOfRefusals(FileServer::State* state, const std::string& what,
                    std::optional<std::size_t> count) {
  if (!count) return;
  state->Warn(*count == 1 ? what + "; one was closed unserved"
                          : what + "; " + std::to_string(*count) + " were closed unserved");
}

constexpr char kTooMany[] = "too many connections at once";
constexpr char kTooManyFromOne[] = "too many connections from one address at once";

void AcceptLoop(FileServer::State* state) {
  constexpr int kFlushEveryMs = 1000;
  for (;;) {
    ReapFinished(state);
    const auto now = std::chrono::steady_clock::now();
    WarnOfRefusals(state, kTooMany, state->refusals.Flush(now));
    WarnOfRefusals(state, kTooManyFromOne, state->peerRefusals.Flush(now));
    const WaitResult wait = WaitFor(state->listener.get(), POLLIN, kFlushEveryMs, state->stop);
    if (wait == WaitResult::kStopped) return;
    if (wait != WaitResult::kReady) continue;
    sockaddr_in peerAddress{};
    socklen_t peerSize = sizeof peerAddress;
    const int socket = accept4(state->listener.get(), reinterpret_cast<sockaddr*>(&peerAddress),
                               &peerSize, SOCK_CLOEXEC);
    if (socket < 0) {
      // Out of descriptors and the like: give the open connections a moment.
      if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) {
        SleepUnlessStopped(50, state->stop);
      }
      continue;
    }
    const std::uint32_t peer = peerAddress.sin_addr.s_addr;
    std::lock_guard<std::mutex> lock(state->connectionMutex);
    // Told before the close, so a client that sees its connection end finds the line written.
    if (state->sockets.size() >= static_cast<std::size_t>(state->options.maxConnections)) {
      WarnOfRefusals(state, kTooMany, state->refusals.Note(std::chrono::steady_clock::now()));
      ::close(socket);
      continue;
    }
    int& fromPeer = state->connectionsByPeer[peer];
    if (fromPeer >= state->options.maxConnectionsPerPeer) {
      WarnOfRefusals(state, kTooManyFromOne,
                     state->peerRefusals.Note(std::chrono::steady_clock::now()));
      ::close(socket);
      continue;
    }
    ++fromPeer;
    const std::uint64_t number = state->nextConnection++;
    state->sockets[number] = socket;
    state->threads[number] = std::thread(RunConnection, state, number, socket, peer);
  }
}

}  // namespace

FileServer::State::State(const FileServerOptions& opts, SharedCredentials creds)
    : options(opts),
      credentials(std::move(creds)),
      files(opts.root, opts.wireCharset, [this](const std::string& text) { Warn(text); }),
      sessions(opts.maxSessions, opts.sessionIdleLimit, opts.unusedSessionIdleLimit),
      faults(opts.faults) {}

void FileServer::State::Warn(const std::string& text) const {
  if (options.warn) {
    options.warn(text);
  } else {
    WarnToStandardError(text);
  }
}

std::vector<Fault> FileServer::State::Faults() const {
  std::lock_guard<std::mutex> lock(faultMutex);
  return faults;
}

std::unique_ptr<FileServer> FileServer::Start(const FileServerOptions& options,
                                              std::string* error) {
  if (options.root.empty()) {
    *error = "no root folder given (--root DIR)";
    return nullptr;
  }
  if (!IsDirectory(options.root)) {
    *error = "root folder not found or not a folder: " + options.root;
    return nullptr;
  }
  if (!MakeIconvWireText(options.wireCharset)) {
    *error = "code page not known to iconv: " + options.wireCharset;
    return nullptr;
  }
  if (options.maxConnections < 1 || options.maxConnectionsPerPeer < 1) {
    *error = "at least one connection must be allowed";
    return nullptr;
  }
  if (!EnsureCryptoProviders()) {
    *error = "cannot load OpenSSL's legacy and default providers (CAST5 needs the legacy one)";
    return nullptr;
  }
  SharedCredentials credentials = options.credentials;
  if (!credentials) {
    credentials =
        LoadCredentials(options.certificateFile, options.keyFile, options.stateDir, error);
    if (!credentials) return nullptr;
  }

  auto state = std::make_unique<State>(options, std::move(credentials));
  if (!state->stop.Valid()) {
    *error = "cannot make the stop signal: " + std::string(std::strerror(errno));
    return nullptr;
  }
  state->listener = Listen(options.bindAddress, options.port, &state->port, error);
  if (!state->listener) return nullptr;
  state->acceptor = std::thread(AcceptLoop, state.get());
  return std::unique_ptr<FileServer>(new FileServer(std::move(state)));
}

FileServer::FileServer(std::unique_ptr<State> state) : state_(std::move(state)) {}

FileServer::~FileServer() { Stop(); }

int FileServer::Port() const { return state_->port; }
const std::string& FileServer::BindAddress() const { return state_->options.bindAddress; }
const ServerCredentials& FileServer::Credentials() const { return *state_->credentials; }

void FileServer::Stop() {
  std::call_once(state_->stopOnce, [this] {
    State& state = *state_;
    state.stop.Raise();
    if (state.acceptor.joinable()) state.acceptor.join();
    state.listener.reset();
    std::map<std::uint64_t, std::thread> threads;
    {
      std::lock_guard<std::mutex> lock(state.connectionMutex);
      // Every wait also watches the stop signal; shutting the sockets down
      // ends the odd call that is not a wait.
      for (const auto& entry : state.sockets) shutdown(entry.second, SHUT_RDWR);
      threads.swap(state.threads);
    }
    for (auto& entry : threads) entry.second.join();
  });
}

void FileServer::SetFaults(std::vector<Fault> faults) {
  std::lock_guard<std::mutex> lock(state_->faultMutex);
  state_->faults = std::move(faults);
}

void FileServer::AddFault(Fault fault) {
  std::lock_guard<std::mutex> lock(state_->faultMutex);
  state_->faults.push_back(std::move(fault));
}

void FileServer::ClearFaults() { SetFaults({}); }

std::vector<RequestRecord> FileServer::Requests() const { return state_->requests.Records(); }

std::size_t FileServer::CountRequests(std::string_view service) const {
  std::size_t count = 0;
  for (const RequestRecord& record : state_->requests.Records()) {
    if (record.service == service) ++count;
  }
  return count;
}

void FileServer::ClearRequests() { state_->requests.Clear(); }

bool FileServer::WaitIdle(int timeoutMs) const {
  std::unique_lock<std::mutex> lock(state_->connectionMutex);
  return state_->connectionsChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                             [this] { return state_->sockets.empty(); });
}

std::size_t FileServer::SessionCount() const { return state_->sessions.Size(); }

}  // namespace dovrel::server
