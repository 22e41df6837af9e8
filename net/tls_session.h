#pragma once
// One connection's TLS state over a non-blocking socket. Every step that
// libssl cannot finish at once waits for the direction it names with the
// socket's own readiness wait, so time-outs and a wait hook's Cancel bound
// the handshake and each read and write as they bound a plain connection.

#include <functional>
#include <memory>

#include <openssl/types.h>

#include "net/socket.h"
#include "net/tls_client.h"

namespace dovrel {

class TlsSession {
 public:
  // The socket's readiness wait: >0 ready, 0 out of time, -1 failed.
  using Wait = std::function<int(bool forReading, int timeoutMs)>;

  // nullptr when libssl cannot make the connection's state.
  static std::unique_ptr<TlsSession> Open(const TlsClient& client, NativeSocket socket);
  ~TlsSession();
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  // Each: >0 done (bytes for Read and Write), 0 out of time, -1 failed.
  int Handshake(const Wait& wait, int timeoutMs);
  int Write(const void* data, int length, const Wait& wait, int timeoutMs);
  int Read(void* buffer, int capacity, const Wait& wait, int timeoutMs);
  // Says goodbye if the socket takes it at once; never waits.
  void Shutdown();

 private:
  TlsSession(const TlsClient& client, SSL* ssl) : client_(client), ssl_(ssl) {}
  int Drive(const std::function<int()>& step, const Wait& wait, int timeoutMs);

  const TlsClient& client_;
  SSL* ssl_;
};

}  // namespace dovrel
