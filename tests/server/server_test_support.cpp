#include "tests/server/server_test_support.h"

#include <stdlib.h>

#include <cstring>

#include <openssl/rand.h>

#include "net/codecs.h"
#include "server/key_envelope.h"
#include "server/pem_block.h"
#include "pkcs7/crypto_init.h"

namespace dovrel::server::test {
namespace {

// Each body line is 64 characters but the last, and every line ends in "\n".
bool CheckLines(const std::string& body, std::string* problem) {
  std::size_t start = 0;
  while (start < body.size()) {
    const std::size_t end = body.find('\n', start);
    if (end == std::string::npos) {
      *problem = "a body line without its line feed";
      return false;
    }
    const std::size_t length = end - start;
    const bool last = end + 1 == body.size();
    if (length == 0 || length > 64 || (!last && length != 64)) {
      *problem = "a body line of " + std::to_string(length) + " characters";
      return false;
    }
    start = end + 1;
  }
  return true;
}

std::optional<std::string> DecodeBody(const std::string& body, std::string* problem) {
  std::string der(body.size(), '\0');
  EVP_ENCODE_CTX* context = EVP_ENCODE_CTX_new();
  int total = 0;
  int n = 0;
  EVP_DecodeInit(context);
  const int update = EVP_DecodeUpdate(context, reinterpret_cast<unsigned char*>(der.data()), &n,
                                      reinterpret_cast<const unsigned char*>(body.data()),
                                      static_cast<int>(body.size()));
  total = n;
  const int final =
      EVP_DecodeFinal(context, reinterpret_cast<unsigned char*>(der.data()) + total, &n);
  EVP_ENCODE_CTX_free(context);
  if (update < 0 || final != 1) {
    *problem = "the body is not base64";
    return std::nullopt;
  }
  der.resize(static_cast<std::size_t>(total) + static_cast<std::size_t>(n));
  return der;
}

}  // namespace

WarningSink WarningLog::Sink() {
  return [this](const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
  };
}

std::vector<std::string> WarningLog::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

bool WarningLog::Contains(const std::string& part) const {
  for (const std::string& line : Lines()) {
    if (line.find(part) != std::string::npos) return true;
  }
  return false;
}

SharedCredentials TestCredentials() {
  static SharedCredentials credentials = [] {
    std::string error;
    EnsureCryptoProviders();
    return GenerateCredentials(&error);
  }();
  return credentials;
}

FileServerOptions TestOptions(const std::string& root, WarningLog* warnings) {
  FileServerOptions options;
  options.root = root;
  options.port = 0;
  options.credentials = TestCredentials();
  options.ioTimeoutMs = 3000;
  options.receiptTimeoutMs = 3000;
  options.warn = warnings != nullptr ? warnings->Sink() : [](const std::string&) {};
  return options;
}

::testing::AssertionResult Started(const FileServerOptions& options,
                                   std::unique_ptr<FileServer>* server) {
  std::string error;
  *server = FileServer::Start(options, &error);
  if (*server) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << error;
}

std::string Request(std::initializer_list<Element> elements) {
  std::string document(64 * 1024, '\0');
  const int length = BuildRequest(elements, document.data(), document.size());
  document.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return document;
}

std::string InitRequest() { return Request({{"SERVICE_CODE", "INIT"}}); }

CallResult Call(int port, const std::string& request, ExchangeTimeouts timeouts,
                std::size_t capacity) {
  CallResult call;
  std::string buffer(capacity, '\0');
  call.result = Exchange("127.0.0.1", port, request.data(), static_cast<int>(request.size()),
                         buffer.data(), buffer.size(), timeouts);
  if (call.result > 0)
    buffer.resize(static_cast<std::size_t>(call.result));
  else
    buffer.clear();
  call.reply = std::move(buffer);
  return call;
}

std::string RequestFrame(const std::string& document) {
  unsigned char head[kRequestHeadLength];
  MakeRequestHead(static_cast<std::uint32_t>(document.size()), head);
  return std::string(reinterpret_cast<char*>(head), sizeof head) + document;
}

std::optional<std::string> ElementOf(const std::string& reply, const char* name) {
  std::optional<std::string_view> text = FindElementText(reply, name);
  if (!text) return std::nullopt;
  return std::string(*text);
}

UniquePtr<X509> CertificateFromSignedData(const std::string& value, std::string* dn,
                                          std::string* problem) {
  auto entries = std::make_unique<OptionEntry[]>(4);
  const int count = ParseOptionList(value.data(), value.size(), entries.get(), 4);
  std::string certList;
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(entries[i].key, "dn") == 0) *dn = entries[i].value;
    if (std::strcmp(entries[i].key, "certList") == 0) certList = entries[i].value;
  }
  const std::optional<std::string> der = ReadPemBlock(certList, kSignedDataLabel);
  if (!der) {
    *problem = "certList is not a PEM \"PKCS7 SIGNED DATA\" text";
    return nullptr;
  }
  const unsigned char* cursor = reinterpret_cast<const unsigned char*>(der->data());
  UniquePtr<PKCS7_SIGNED> body(d2i_PKCS7_SIGNED(nullptr, &cursor, static_cast<long>(der->size())));
  if (!body || body->cert == nullptr || sk_X509_num(body->cert) < 1) {
    *problem = "certList holds no SignedData with certificates";
    return nullptr;
  }
  X509* last = sk_X509_value(body->cert, sk_X509_num(body->cert) - 1);
  return UniquePtr<X509>(X509_dup(last));
}

std::string KeyText(const SessionKeys& keys) {
  char text[128];
  int n = std::snprintf(text, sizeof text, "sessionkey=");
  for (unsigned char b : keys.key) n += std::snprintf(text + n, sizeof text - n, "%02x", b);
  n += std::snprintf(text + n, sizeof text - n, "&initvector=");
  for (unsigned char b : keys.iv) n += std::snprintf(text + n, sizeof text - n, "%02x", b);
  return std::string(text, static_cast<std::size_t>(n));
}

SessionKeys RandomKeys() {
  SessionKeys keys;
  RAND_bytes(keys.key.data(), static_cast<int>(keys.key.size()));
  RAND_bytes(keys.iv.data(), static_cast<int>(keys.iv.size()));
  return keys;
}

UniquePtr<PKCS7> EnvelopeForServer(X509* certificate, const std::string& plaintext) {
  EnsureCryptoProviders();
  STACK_OF(X509)* recipients = sk_X509_new_null();
  sk_X509_push(recipients, certificate);
  UniquePtr<BIO> in(BIO_new_mem_buf(plaintext.data(), static_cast<int>(plaintext.size())));
  UniquePtr<PKCS7> envelope(PKCS7_encrypt(recipients, in.get(), EVP_cast5_cbc(), PKCS7_BINARY));
  sk_X509_free(recipients);
  return envelope;
}

std::string SealForServer(X509* certificate, const std::string& plaintext) {
  UniquePtr<PKCS7> envelope = EnvelopeForServer(certificate, plaintext);
  if (!envelope) return {};
  return WritePemBlock(kEnvelopedDataLabel, envelope->d.enveloped, i2d_PKCS7_ENVELOPE);
}

std::optional<std::string> DecryptEncData(const std::string& pem, const SessionKeys& keys,
                                          std::string* problem) {
  static const std::string begin = "-----BEGIN PKCS7 ENCRYPTED DATA-----\n";
  static const std::string end = "-----END PKCS7 ENCRYPTED DATA-----\n";
  if (pem.compare(0, begin.size(), begin) != 0 || pem.size() < begin.size() + end.size() ||
      pem.compare(pem.size() - end.size(), end.size(), end) != 0) {
    *problem = "ENC_DATA is not framed by the PKCS7 ENCRYPTED DATA lines";
    return std::nullopt;
  }
  const std::string body = pem.substr(begin.size(), pem.size() - begin.size() - end.size());
  if (!CheckLines(body, problem)) return std::nullopt;
  std::optional<std::string> der = DecodeBody(body, problem);
  if (!der) return std::nullopt;

  const unsigned char* cursor = reinterpret_cast<const unsigned char*>(der->data());
  UniquePtr<PKCS7_ENCRYPT> data(
      d2i_PKCS7_ENCRYPT(nullptr, &cursor, static_cast<long>(der->size())));
  if (!data || cursor != reinterpret_cast<const unsigned char*>(der->data()) + der->size()) {
    *problem = "the body is not exactly one EncryptedData";
    return std::nullopt;
  }
  PKCS7_ENC_CONTENT* content = data->enc_data;
  const ASN1_TYPE* parameter = content->algorithm->parameter;
  if (ASN1_INTEGER_get(data->version) != 0 ||
      OBJ_obj2nid(content->content_type) != NID_pkcs7_data ||
      OBJ_obj2nid(content->algorithm->algorithm) != NID_cast5_cbc || parameter == nullptr ||
      parameter->type != V_ASN1_OCTET_STRING ||
      ASN1_STRING_length(parameter->value.octet_string) != 8 ||
      std::memcmp(ASN1_STRING_get0_data(parameter->value.octet_string), keys.iv.data(), 8) != 0 ||
      content->enc_data == nullptr) {
    *problem = "the EncryptedData's fields are not version 0, data, CAST5-CBC(iv)";
    return std::nullopt;
  }

  UniquePtr<EVP_CIPHER> cast5(EVP_CIPHER_fetch(nullptr, "CAST5-CBC", nullptr));
  UniquePtr<EVP_CIPHER_CTX> context(EVP_CIPHER_CTX_new());
  const int sealedLength = ASN1_STRING_length(content->enc_data);
  std::string plain(static_cast<std::size_t>(sealedLength) + 8, '\0');
  int n = 0;
  int last = 0;
  if (!cast5 ||
      EVP_DecryptInit_ex2(context.get(), cast5.get(), keys.key.data(), keys.iv.data(), nullptr) !=
          1 ||
      EVP_DecryptUpdate(context.get(), reinterpret_cast<unsigned char*>(plain.data()), &n,
                        ASN1_STRING_get0_data(content->enc_data), sealedLength) != 1 ||
      EVP_DecryptFinal_ex(context.get(), reinterpret_cast<unsigned char*>(plain.data()) + n,
                          &last) != 1) {
    *problem = "the content does not decrypt under the session's key";
    return std::nullopt;
  }
  plain.resize(static_cast<std::size_t>(n) + static_cast<std::size_t>(last));
  return plain;
}

std::optional<OpenedSession> OpenSession(int port, std::string* problem) {
  const CallResult init = Call(port, InitRequest());
  std::optional<std::string> skey = ElementOf(init.reply, "SKEY");
  std::optional<std::string> signedData = ElementOf(init.reply, "SERVER_SIGNED_DATA");
  if (!skey || !signedData) {
    *problem = "INIT reply without SKEY or SERVER_SIGNED_DATA";
    return std::nullopt;
  }
  std::string dn;
  UniquePtr<X509> certificate = CertificateFromSignedData(*signedData, &dn, problem);
  if (!certificate) return std::nullopt;
  OpenedSession session{*skey, RandomKeys()};
  const std::string envelope = SealForServer(certificate.get(), KeyText(session.keys));
  const CallResult exchange = Call(port, Request({{"SERVICE_CODE", "KEYEXCHG"},
                                                  {"SKEY", skey->c_str()},
                                                  {"ENVELOP_DATA", envelope.c_str()}}));
  if (ElementOf(exchange.reply, "RESULT_CODE") != std::optional<std::string>("0000")) {
    *problem = "KEYEXCHG failed: " + exchange.reply;
    return std::nullopt;
  }
  return session;
}

std::optional<std::string> GetFile(int port, const OpenedSession& session,
                                   const std::string& wireName, std::string* problem) {
  const CallResult get = Call(port, Request({{"SERVICE_CODE", "GET"},
                                             {"SKEY", session.skey.c_str()},
                                             {"USERID", "u01"},
                                             {"FILE_NAME", wireName.c_str()}}));
  if (ElementOf(get.reply, "RESULT_CODE") != std::optional<std::string>("0000")) {
    *problem = "GET failed: " + get.reply.substr(0, 300);
    return std::nullopt;
  }
  std::optional<std::string> encData = ElementOf(get.reply, "ENC_DATA");
  if (!encData) {
    *problem = "GET reply without ENC_DATA";
    return std::nullopt;
  }
  return DecryptEncData(*encData, session.keys, problem);
}

}  // namespace dovrel::server::test
