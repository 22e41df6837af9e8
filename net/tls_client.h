#pragma once
// The TLS layer a connection may run inside: TLS 1.2 or later, the server's
// name as SNI, and the server's certificate accepted only by a judge that the
// caller gives (no certificate authority is consulted). One object serves
// every connection of a receive, on any thread.

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include <openssl/types.h>

namespace dovrel {

// Decides on the server's certificate, given as DER: true accepts it.
using CertificateJudge = std::function<bool(const unsigned char* der, std::size_t length)>;

// Why the last handshake of any connection failed, for the caller's message.
enum class TlsFailure { kNone, kHandshake, kCertificateRefused, kTimedOut };

class TlsClient {
 public:
  // nullptr when libssl cannot make a context. An IPv4 literal is sent no SNI.
  static std::shared_ptr<const TlsClient> Create(const std::string& serverName,
                                                 CertificateJudge judge);
  ~TlsClient();
  TlsClient(const TlsClient&) = delete;
  TlsClient& operator=(const TlsClient&) = delete;

  SSL_CTX* Context() const { return context_; }
  // The name each connection sends as SNI; empty for an address.
  const std::string& ServerName() const { return serverName_; }
  bool Judge(const unsigned char* der, std::size_t length) const;

  TlsFailure LastFailure() const { return lastFailure_.load(); }
  void NoteFailure(TlsFailure failure) const { lastFailure_ = failure; }

 private:
  TlsClient(std::string serverName, CertificateJudge judge);

  SSL_CTX* context_ = nullptr;
  std::string serverName_;
  CertificateJudge judge_;
  mutable std::atomic<TlsFailure> lastFailure_{TlsFailure::kNone};
};

}  // namespace dovrel
