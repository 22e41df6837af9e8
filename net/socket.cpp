#include "net/socket.h"

#include "net/send_chunks.h"
#include "net/socket_platform.h"
#include "net/wait_limits.h"

namespace dovrel {

SocketBase::SocketBase() {
  networkStarted_ = platform::StartNetwork();
  if (networkStarted_) platform::ClearSocketError();
}

SocketBase::~SocketBase() {
  if (socket_ != kNoSocket) {
    platform::ShutdownBoth(socket_);
    platform::CloseSocket(socket_);
    socket_ = kNoSocket;
  }
  if (networkStarted_) platform::StopNetwork();
}

void SocketBase::Close() {
  lastError_ = 0;
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
        const int n = platform::SendSome(socket_, chunk, size);
        if (n <= 0) lastError_ = platform::LastSocketError();
        return n;
      });
}

int SocketBase::Receive(void* buffer, int capacity, int timeoutMs) {
  lastError_ = 0;
  int ready = WaitReady(socket_, timeoutMs, true);
  if (ready < 0) return -1;
  if (ready == 0) return 0;
  int n = platform::ReceiveSome(socket_, buffer, capacity);
  if (n > 0) return n;
  // A closed peer reads as 0 bytes; report it as a failure, never as "nothing yet".
  lastError_ = platform::LastSocketError();
  return -1;
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
