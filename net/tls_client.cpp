#include "net/tls_client.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include "net/socket.h"

namespace dovrel {
namespace {

struct OpenSslBytes {
  void operator()(unsigned char* bytes) const { OPENSSL_free(bytes); }
};

// Replaces the whole chain check: the judge alone decides on the server's own
// certificate, whoever issued it.
int JudgeCertificate(X509_STORE_CTX* store, void* argument) {
  const auto* client = static_cast<const TlsClient*>(argument);
  unsigned char* bytes = nullptr;
  const int length = i2d_X509(X509_STORE_CTX_get0_cert(store), &bytes);
  const std::unique_ptr<unsigned char, OpenSslBytes> der(bytes);
  if (length > 0 && client->Judge(der.get(), static_cast<std::size_t>(length))) return 1;
  X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
  return 0;
}

}  // namespace

std::shared_ptr<const TlsClient> TlsClient::Create(const std::string& serverName,
                                                   CertificateJudge judge) {
  std::uint32_t address = 0;
  const bool literal = ParseIPv4(serverName.c_str(), &address);
  std::shared_ptr<TlsClient> client(new TlsClient(literal ? "" : serverName, std::move(judge)));
  SSL_CTX* context = SSL_CTX_new(TLS_client_method());
  if (context == nullptr) return nullptr;
  client->context_ = context;
  if (SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) != 1) return nullptr;
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_cert_verify_callback(context, JudgeCertificate, client.get());
  return client;
}

TlsClient::TlsClient(std::string serverName, CertificateJudge judge)
    : serverName_(std::move(serverName)), judge_(std::move(judge)) {}

TlsClient::~TlsClient() { SSL_CTX_free(context_); }

bool TlsClient::Judge(const unsigned char* der, std::size_t length) const {
  return judge_ && judge_(der, length);
}

}  // namespace dovrel
