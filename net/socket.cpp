#include "net/socket.h"

#include "net/send_chunks.h"
#include "net/socket_platform.h"
#include "net/tls_session.h"
#include "net/wait_limits.h"

namespace dovrel {
namespace {

// libssl's waits are the connection's own, hook and all.
TlsSession::Wait TlsWaitOf(SocketBase& socket) {
  return [&socket](bool forReading, int timeoutMs) {
    return socket.WaitReady(socket.Handle(), timeoutMs, forReading);
  };
}

}  // namespace

SocketBase::SocketBase() {
  networkStarted_ = platform::StartNetwork();
  if (networkStarted_) platform::ClearSocketError();
}

SocketBase::~SocketBase() {
  tls_.reset();
  if (socket_ != kNoSocket) {
    platform::ShutdownBoth(socket_);
    platform::CloseSocket(socket_);
    socket_ = kNoSocket;
  }
  if (networkStarted_) platform::StopNetwork();
}

void SocketBase::Close() {
  lastError_ = 0;
  if (tls_ != nullptr) {
    tls_->Shutdown();
    tls_.reset();
  }
  if (socket_ == kNoSocket) return;
  platform::ShutdownBoth(socket_);
  if (platform::CloseSocket(socket_) != 0) lastError_ = platform::LastSocketError();
  socket_ = kNoSocket;
}

int SocketBase::Wait(NativeSocket handle, int timeoutMs, bool forReading, bool watchErrors) {
  if (hook_ == nullptr) return platform::WaitSocket(handle, timeoutMs, forReading, watchErrors);
  const int slice = hook_->SliceMs() > 0 ? hook_->SliceMs() : 1;
  const std::int64_t deadline = DeadlineAfter(MonotonicMs(), timeoutMs);
  for (;;) {
    // Given up, or out of time: one last poll.
    const int wait = hook_->Continue() ? TimeLeftMs(MonotonicMs(), deadline, slice) : 0;
    const int ready = platform::WaitSocket(handle, wait, forReading, watchErrors);
    if (ready != 0 || wait == 0) return ready;
  }
}

int SocketBase::WaitReady(NativeSocket handle, int timeoutMs, bool forReading) {
  lastError_ = 0;
  int ready = Wait(handle, timeoutMs, forReading, false);
  if (ready < 0) {
    lastError_ = platform::LastSocketError();
    return -1;
  }
  if (ready == 0) lastError_ = kWaitTimedOut;
  return ready;
}

int SocketBase::Send(const void* data, int length, int timeoutMs) {
  lastError_ = 0;
  return SendInChunks(
      static_cast<const char*>(data), length,
      [&] { return WaitReady(socket_, timeoutMs, false) > 0; },
      [&](const char* chunk, int size) {
        if (tls_ != nullptr)
          return TlsResult(tls_->Write(chunk, size, TlsWaitOf(*this), timeoutMs));
        const int n = platform::SendSome(socket_, chunk, size);
        if (n <= 0) lastError_ = platform::LastSocketError();
        return n;
      });
}

int SocketBase::Receive(void* buffer, int capacity, int timeoutMs) {
  lastError_ = 0;
  // Bytes libssl already holds need no wait: its own reads decide.
  if (tls_ != nullptr) return TlsResult(tls_->Read(buffer, capacity, TlsWaitOf(*this), timeoutMs));
  int ready = WaitReady(socket_, timeoutMs, true);
  if (ready < 0) return -1;
  if (ready == 0) return 0;
  int n = platform::ReceiveSome(socket_, buffer, capacity);
  if (n > 0) return n;
  // A closed peer reads as 0 bytes; report it as a failure, never as "nothing yet".
  lastError_ = platform::LastSocketError();
  return -1;
}

bool SocketBase::StartTls(const TlsClient& client, int timeoutMs) {
  lastError_ = 0;
  // libssl drives a non-blocking socket; each of its steps waits here.
  if (socket_ == kNoSocket || !platform::SetNonBlocking(socket_, true)) {
    lastError_ = kTlsFailed;
    return false;
  }
  platform::PrepareTlsWrites();
  tls_ = TlsSession::Open(client, socket_);
  if (tls_ != nullptr && TlsResult(tls_->Handshake(TlsWaitOf(*this), timeoutMs)) > 0) return true;
  if (lastError_ == 0) lastError_ = kTlsFailed;
  tls_.reset();
  return false;
}

int SocketBase::TlsResult(int result) {
  // A wait's failure or time-out has set the last error; libssl's own has not.
  if (result < 0 && lastError_ == 0) lastError_ = kTlsFailed;
  return result;
}

ClientSocket::~ClientSocket() = default;

bool ClientSocket::Connect(std::uint32_t address, int port, int timeoutMs) {
  lastError_ = 0;
  remoteAddress_ = address;
  remotePort_ = port;
  Close();

  socket_ = platform::OpenStreamSocket();
  bool connected = false;
  if (socket_ != kNoSocket) {
    platform::SetNonBlocking(socket_, true);
    if (platform::ConnectIPv4(socket_, address, port) == 0) {
      connected = true;
    } else {
      int error = platform::LastSocketError();
      if (platform::IsConnectInProgress(error)) {
        int ready = Wait(socket_, timeoutMs, false, true);
        if (ready < 0) {
          lastError_ = platform::LastSocketError();
        } else if (ready == 0) {
          lastError_ = kWaitTimedOut;
        } else {
          // Ready can also mean the attempt failed (refused, unreachable):
          // the socket's pending error tells which.
          lastError_ = platform::PendingError(socket_);
          connected = lastError_ == 0;
        }
      } else {
        lastError_ = error;
      }
    }
    platform::SetNonBlocking(socket_, false);
  }

  if (!connected && socket_ != kNoSocket) {
    platform::ShutdownBoth(socket_);
    platform::CloseSocket(socket_);
    socket_ = kNoSocket;
  }
  return connected;
}

bool ParseIPv4(const char* text, std::uint32_t* address) {
  return text != nullptr && platform::ParseDottedIPv4(text, address);
}

}  // namespace dovrel
