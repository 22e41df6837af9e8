#include "net/tls_session.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "net/wait_limits.h"

namespace dovrel {

std::unique_ptr<TlsSession> TlsSession::Open(const TlsClient& client, NativeSocket socket) {
  SSL* ssl = SSL_new(client.Context());
  if (ssl == nullptr) return nullptr;
  std::unique_ptr<TlsSession> session(new TlsSession(client, ssl));
  // libssl takes a socket as an int, Windows' handles included.
  if (SSL_set_fd(ssl, static_cast<int>(socket)) != 1) return nullptr;
  if (!client.ServerName().empty() &&
      SSL_set_tlsext_host_name(ssl, client.ServerName().c_str()) != 1)
    return nullptr;
  SSL_set_connect_state(ssl);
  return session;
}

TlsSession::~TlsSession() { SSL_free(ssl_); }

int TlsSession::Drive(const std::function<int()>& step, const Wait& wait, int timeoutMs) {
  const std::int64_t deadline = DeadlineAfter(MonotonicMs(), timeoutMs);
  for (;;) {
    // The thread's error queue is shared with the PKCS#7 code: leave it empty.
    ERR_clear_error();
    const int done = step();
    if (done > 0) return done;
    const int error = SSL_get_error(ssl_, done);
    ERR_clear_error();
    if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) return -1;
    const int ready =
        wait(error == SSL_ERROR_WANT_READ, TimeLeftMs(MonotonicMs(), deadline, timeoutMs));
    if (ready <= 0) return ready;
  }
}

int TlsSession::Handshake(const Wait& wait, int timeoutMs) {
  const int done = Drive([this] { return SSL_connect(ssl_); }, wait, timeoutMs);
  if (done <= 0) {
    const bool refused = SSL_get_verify_result(ssl_) != X509_V_OK;
    client_.NoteFailure(refused     ? TlsFailure::kCertificateRefused
                        : done == 0 ? TlsFailure::kTimedOut
                                    : TlsFailure::kHandshake);
  }
  return done;
}

int TlsSession::Write(const void* data, int length, const Wait& wait, int timeoutMs) {
  return Drive([&] { return SSL_write(ssl_, data, length); }, wait, timeoutMs);
}

int TlsSession::Read(void* buffer, int capacity, const Wait& wait, int timeoutMs) {
  return Drive([&] { return SSL_read(ssl_, buffer, capacity); }, wait, timeoutMs);
}

void TlsSession::Shutdown() {
  ERR_clear_error();
  SSL_shutdown(ssl_);
  ERR_clear_error();
}

}  // namespace dovrel
