#pragma once
// What the server's tests share: temporary served folders, one certificate
// for the whole run, raw Exchanges with the server, and the client's side of
// the PKCS#7 work done with OpenSSL directly.

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/exchange.h"
#include "net/message.h"
#include "server/file_server.h"
#include "tests/support/temp_folder.h"
#include "server/session_table.h"
#include "pkcs7/crypto_ptr.h"

namespace dovrel::server::test {

// A folder under the system's temporary folder, removed with everything in it.
using dovrel::test::TempFolder;

// Warnings the server gives, kept for the test to read.
class WarningLog {
 public:
  WarningSink Sink();
  std::vector<std::string> Lines() const;
  bool Contains(const std::string& part) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// One RSA-2048 certificate and key for the whole test run: making one costs time.
SharedCredentials TestCredentials();

// Options for a server on 127.0.0.1, a free port, the shared credentials and
// short time-outs; warnings go to `warnings` when given.
FileServerOptions TestOptions(const std::string& root, WarningLog* warnings = nullptr);

// Starts a server with `options` into `server`; its reason when it cannot.
::testing::AssertionResult Started(const FileServerOptions& options,
                                   std::unique_ptr<FileServer>* server);

std::string Request(std::initializer_list<Element> elements);
// INIT takes no element but the service code.
std::string InitRequest();
// The request frame of `document`: "#", its length, the document.
std::string RequestFrame(const std::string& document);

struct CallResult {
  int result = -1;    // as Exchange gives it
  std::string reply;  // the bytes received
};
inline constexpr ExchangeTimeouts kTestTimeouts{2000, 2000, 5000, 5000};
CallResult Call(int port, const std::string& request, ExchangeTimeouts timeouts = kTestTimeouts,
                std::size_t capacity = 8 * 1024 * 1024);

// The text of an element, or nothing.
std::optional<std::string> ElementOf(const std::string& reply, const char* name);

// The certificate at the end of the SERVER_SIGNED_DATA value's certList, read
// the way the client reads it (an Option list of at most 4 entries).
UniquePtr<X509> CertificateFromSignedData(const std::string& value, std::string* dn,
                                          std::string* problem);

std::string KeyText(const SessionKeys& keys);
SessionKeys RandomKeys();
// An envelope of `plaintext` for `certificate`, CAST5-CBC; null on failure.
UniquePtr<PKCS7> EnvelopeForServer(X509* certificate, const std::string& plaintext);
// The same as a PEM "PKCS7 ENVELOPED DATA" body.
std::string SealForServer(X509* certificate, const std::string& plaintext);

// The plaintext of a PEM "PKCS7 ENCRYPTED DATA" body, after checking its
// layout (64-character lines) and its fields (version 0, content type data,
// CAST5-CBC with the initial vector as parameter). Nothing, with `problem`
// set, when something is off.
std::optional<std::string> DecryptEncData(const std::string& pem, const SessionKeys& keys,
                                          std::string* problem);

// INIT and KEYEXCHG against a running server.
struct OpenedSession {
  std::string skey;
  SessionKeys keys;
};
std::optional<OpenedSession> OpenSession(int port, std::string* problem);

// GET of one file; the decrypted plaintext, or nothing with `problem` set.
std::optional<std::string> GetFile(int port, const OpenedSession& session,
                                   const std::string& wireName, std::string* problem);

}  // namespace dovrel::server::test
