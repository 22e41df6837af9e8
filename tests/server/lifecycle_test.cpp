// Starting, stopping and the executable: clear errors, prompt stops, the
// certificate kept between runs, and the port line that scripts read.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <openssl/pem.h>

#include "net/socket.h"
#include "server/file_server.h"
#include "pkcs7/fingerprint.h"
#include "tests/server/child_process.h"
#include "tests/server/server_test_support.h"

namespace dovrel::server::test {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

void WriteCredentialFiles(const TempFolder& folder, std::string* certFile, std::string* keyFile) {
  *certFile = folder.Text() + "/cert.pem";
  *keyFile = folder.Text() + "/key.pem";
  UniquePtr<BIO> cert(BIO_new_file(certFile->c_str(), "w"));
  UniquePtr<BIO> key(BIO_new_file(keyFile->c_str(), "w"));
  PEM_write_bio_X509(cert.get(), TestCredentials()->certificate.get());
  PEM_write_bio_PrivateKey(key.get(), TestCredentials()->key.get(), nullptr, nullptr, 0, nullptr,
                           nullptr);
}

TEST(ServerStartTest, RefusesAMissingRootFolder) {
  TempFolder folder;
  for (const std::string& root : {folder.Text() + "/missing", std::string()}) {
    std::string error;
    EXPECT_FALSE(FileServer::Start(TestOptions(root), &error)) << root;
    EXPECT_NE(error.find("root"), std::string::npos) << error;
  }
  folder.Write("plain-file", "x");
  std::string error;
  EXPECT_FALSE(FileServer::Start(TestOptions(folder.Text() + "/plain-file"), &error));
  EXPECT_NE(error.find("not a folder"), std::string::npos) << error;
}

TEST(ServerStartTest, RefusesABusyPortAndABadAddress) {
  TempFolder folder;
  std::unique_ptr<FileServer> first;
  ASSERT_TRUE(Started(TestOptions(folder.Text()), &first));
  FileServerOptions options = TestOptions(folder.Text());
  options.port = first->Port();
  std::string error;
  EXPECT_FALSE(FileServer::Start(options, &error));
  EXPECT_NE(error.find("cannot listen on 127.0.0.1:" + std::to_string(first->Port())),
            std::string::npos)
      << error;
  EXPECT_NE(error.find("in use"), std::string::npos) << error;

  options.port = 0;
  options.bindAddress = "localhost";
  EXPECT_FALSE(FileServer::Start(options, &error));
  EXPECT_NE(error.find("IPv4"), std::string::npos) << error;
}

TEST(ServerStartTest, RefusesAnUnknownCodePage) {
  TempFolder folder;
  FileServerOptions options = TestOptions(folder.Text());
  options.wireCharset = "NO-SUCH-CODE-PAGE";
  std::string error;
  EXPECT_FALSE(FileServer::Start(options, &error));
  EXPECT_NE(error.find("NO-SUCH-CODE-PAGE"), std::string::npos) << error;
}

TEST(ServerStopTest, ReturnsPromptlyWithSilentAndWaitingClients) {
  TempFolder folder;
  std::string error;
  FileServerOptions options = TestOptions(folder.Text());
  options.ioTimeoutMs = 60000;
  options.receiptTimeoutMs = 60000;
  std::unique_ptr<FileServer> server = FileServer::Start(options, &error);
  ASSERT_TRUE(server) << error;
  server->AddFault(*ParseFault("GETLIST:withhold", &error));
  server->AddFault(*ParseFault("INIT:delay:60000", &error));

  ClientSocket silent, withheld, delayed;
  ASSERT_TRUE(silent.Connect(0x7F000001, server->Port(), 2000));
  ASSERT_TRUE(withheld.Connect(0x7F000001, server->Port(), 2000));
  ASSERT_TRUE(delayed.Connect(0x7F000001, server->Port(), 2000));
  for (auto [socket, document] :
       {std::make_pair(&withheld, Request({{"SERVICE_CODE", "GETLIST"}, {"DATE", "20240101"}})),
        std::make_pair(&delayed, InitRequest())}) {
    const std::string frame = RequestFrame(document);
    socket->Send(frame.data(), static_cast<int>(frame.size()), 2000);
  }
  for (int i = 0; i < 100 && server->Requests().size() < 2; ++i)
    std::this_thread::sleep_for(milliseconds(10));
  ASSERT_EQ(server->Requests().size(), 2u);

  const auto start = SteadyClock::now();
  server->Stop();
  EXPECT_LT(SteadyClock::now() - start, milliseconds(1000));
  char byte;
  EXPECT_EQ(silent.Receive(&byte, 1, 1000), -1);  // closed, not timed out
  EXPECT_EQ(withheld.Receive(&byte, 1, 1000), -1);
  EXPECT_EQ(delayed.Receive(&byte, 1, 1000), -1);
  server->Stop();  // a second Stop does nothing
}

TEST(ServerCredentialsTest, GeneratedOnesAreKeptInTheStateFolder) {
  TempFolder root, state;
  FileServerOptions options = TestOptions(root.Text());
  options.credentials = nullptr;
  options.stateDir = state.Text() + "/keys";
  std::string error;
  UniquePtr<X509> firstCertificate;
  {
    std::unique_ptr<FileServer> server = FileServer::Start(options, &error);
    ASSERT_TRUE(server) << error;
    firstCertificate.reset(X509_dup(server->Credentials().certificate.get()));
    EXPECT_EQ(EVP_PKEY_get_bits(server->Credentials().key.get()), 2048);
  }
  EXPECT_TRUE(std::filesystem::exists(options.stateDir + "/server-cert.pem"));
  const auto keyPermissions =
      std::filesystem::status(options.stateDir + "/server-key.pem").permissions();
  EXPECT_EQ(
      keyPermissions & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
      std::filesystem::perms::none);
  std::unique_ptr<FileServer> again = FileServer::Start(options, &error);
  ASSERT_TRUE(again) << error;
  EXPECT_EQ(X509_cmp(again->Credentials().certificate.get(), firstCertificate.get()), 0);
}

TEST(ServerCredentialsTest, ReadsGivenFilesAndRefusesHalfAPair) {
  TempFolder folder;
  std::string certFile, keyFile, error;
  WriteCredentialFiles(folder, &certFile, &keyFile);
  FileServerOptions options = TestOptions(folder.Text());
  options.credentials = nullptr;
  options.certificateFile = certFile;
  options.keyFile = keyFile;
  std::unique_ptr<FileServer> server = FileServer::Start(options, &error);
  ASSERT_TRUE(server) << error;
  EXPECT_EQ(X509_cmp(server->Credentials().certificate.get(), TestCredentials()->certificate.get()),
            0);

  options.keyFile.clear();
  EXPECT_FALSE(FileServer::Start(options, &error));
  EXPECT_NE(error.find("--key"), std::string::npos) << error;
  options.keyFile = certFile;  // no key in it
  EXPECT_FALSE(FileServer::Start(options, &error));
  EXPECT_NE(error.find("private key"), std::string::npos) << error;
}

TEST(ServerExecutableTest, PrintsItsPortServesAndEndsOnSigterm) {
  TempFolder folder;
  folder.Write("20240102/a.txt", "a");
  std::string certFile, keyFile;
  WriteCredentialFiles(folder, &certFile, &keyFile);
  Child child = Launch({"--root", folder.Text(), "--port", "0", "--cert", certFile, "--key",
                        keyFile, "--fault", "GETLIST:code:0005"});
  ASSERT_GT(child.pid, 0);
  const std::vector<std::string> start = ReadStartLines(child.out, 20000);
  ASSERT_EQ(start.size(), 3u);
  // The fingerprints a client pins: of the certificate's DER and of its key's.
  Fingerprint certificate{}, publicKey{};
  unsigned int size = 0;
  ASSERT_EQ(
      X509_digest(TestCredentials()->certificate.get(), EVP_sha256(), certificate.data(), &size),
      1);
  unsigned char* keyDer = nullptr;
  const int keyLength = i2d_PUBKEY(TestCredentials()->key.get(), &keyDer);
  ASSERT_GT(keyLength, 0);
  EVP_Digest(keyDer, static_cast<std::size_t>(keyLength), publicKey.data(), &size, EVP_sha256(),
             nullptr);
  OPENSSL_free(keyDer);
  EXPECT_EQ(start[0], "certificate SHA-256: " + FormatFingerprint(certificate));
  EXPECT_EQ(start[1], "public key SHA-256: " + FormatFingerprint(publicKey));
  const std::string& line = start[2];
  const std::string prefix = "listening on 127.0.0.1:";
  ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
  const int port = std::stoi(line.substr(prefix.size()));
  EXPECT_GT(port, 0);

  const std::string init = Call(port, InitRequest()).reply;
  EXPECT_EQ(ElementOf(init, "RESULT_CODE"), std::optional<std::string>("0000"));
  const std::string list =
      Call(port, Request({{"SERVICE_CODE", "GETLIST"}, {"DATE", "20240102"}})).reply;
  EXPECT_EQ(ElementOf(list, "RESULT_CODE"), std::optional<std::string>("0005"));
  EXPECT_EQ(ElementOf(list, "FILE_LIST"), std::optional<std::string>("a.txt"));

  kill(child.pid, SIGTERM);
  EXPECT_EQ(WaitExit(child.pid, 5000), 0);
  close(child.out);
  close(child.err);
}

TEST(ServerExecutableTest, ExplainsWhyItCannotStart) {
  TempFolder folder;
  std::string certFile, keyFile;
  WriteCredentialFiles(folder, &certFile, &keyFile);
  std::unique_ptr<FileServer> holder;
  ASSERT_TRUE(Started(TestOptions(folder.Text()), &holder));
  const struct {
    std::vector<std::string> arguments;
    std::string message;
  } cases[] = {
      {{"--root", folder.Text() + "/missing", "--port", "0"}, "root folder not found"},
      {{"--root", folder.Text(), "--port", std::to_string(holder->Port()), "--cert", certFile,
        "--key", keyFile},
       "cannot listen"},
      {{"--port", "0"}, "--root DIR is required"},
  };
  for (const auto& c : cases) {
    Child child = Launch(c.arguments);
    ASSERT_GT(child.pid, 0);
    const int code = WaitExit(child.pid, 20000);
    EXPECT_NE(code, 0) << c.message;
    EXPECT_NE(code, -2) << c.message;
    EXPECT_NE(ReadLine(child.err, 1000).find(c.message), std::string::npos) << c.message;
    close(child.out);
    close(child.err);
  }
}

}  // namespace
}  // namespace dovrel::server::test
