#pragma once
// The connection object: one IPv4 TCP connection with bounded waits.
// Every connect, send and receive is preceded by a readiness wait whose
// time-out the caller gives in milliseconds (negative: no limit, 0: poll once).

#include <cstdint>
#include <memory>

#include "net/wait_hook.h"

namespace dovrel {

// The platform's socket handle, widened so that both Windows Sockets and
// Berkeley descriptors fit; kNoSocket is INVALID_SOCKET or -1.
using NativeSocket = std::intptr_t;
inline constexpr NativeSocket kNoSocket = -1;

inline constexpr int kWaitTimedOut = 15002;  // last error after a wait that ran out
inline constexpr int kSendChunk = 4096;      // largest single send
inline constexpr int kTlsFailed = 15003;     // last error after a TLS failure

class TlsClient;
class TlsSession;

class SocketBase {
 public:
  SocketBase();
  virtual ~SocketBase();
  SocketBase(const SocketBase&) = delete;
  SocketBase& operator=(const SocketBase&) = delete;

  // Shuts down and closes an open connection; does nothing else on a closed one.
  virtual void Close();

  // >0 ready, 0 timed out (last error 15002), -1 the wait failed.
  int WaitReady(NativeSocket handle, int timeoutMs, bool forReading);
  // Bytes sent, in chunks of at most 4096, each after its own wait; fewer
  // than `length` means a wait or a send failed (see LastError).
  int Send(const void* data, int length, int timeoutMs);
  // One wait, then at most one receive: bytes received (>0), 0 when nothing
  // arrived in time, -1 when the wait or the receive failed or the peer closed.
  int Receive(void* buffer, int capacity, int timeoutMs);

  // From now on every wait of this object goes in slices with `hook` asked
  // between them (net/wait_hook.h); nullptr: whole waits. The hook must
  // outlive the object's use.
  void SetWaitHook(WaitHook* hook) { hook_ = hook; }

  // Runs the rest of this connection inside TLS (net/tls_client.h): the
  // handshake must end within `timeoutMs`. From then on Send and Receive carry
  // their bytes through it with the same waits. `client` must outlive the
  // connection. False: the connection is unusable (LastError says why).
  bool StartTls(const TlsClient& client, int timeoutMs);

  NativeSocket Handle() const { return socket_; }
  int LastError() const { return lastError_; }

 protected:
  // A TLS step's result, with the last error set for a failure of libssl's own.
  int TlsResult(int result);
  // The platform's readiness wait, in the hook's slices when there is one.
  int Wait(NativeSocket handle, int timeoutMs, bool forReading, bool watchErrors);

  NativeSocket socket_ = kNoSocket;
  int lastError_ = 0;
  bool networkStarted_ = false;
  WaitHook* hook_ = nullptr;
  std::unique_ptr<TlsSession> tls_;
};

class ClientSocket : public SocketBase {
 public:
  ClientSocket() = default;
  ~ClientSocket() override;

  // Opens a connection to `address` (IPv4, host byte order) within the time-out.
  // A refused connection fails at once with the platform's error code.
  // Closes a connection that is still open first.
  bool Connect(std::uint32_t address, int port, int timeoutMs);

  std::uint32_t RemoteAddress() const { return remoteAddress_; }
  int RemotePort() const { return remotePort_; }

 private:
  std::uint32_t remoteAddress_ = 0;
  int remotePort_ = 0;
};

// Dotted IPv4 text to a host-order address; false for anything else.
bool ParseIPv4(const char* text, std::uint32_t* address);

}  // namespace dovrel
