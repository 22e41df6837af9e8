#pragma once
// A reference file server for one named scenario of tests/fixtures/servers.txt,
// serving tests/fixtures/root. Natively the server runs in-process and the
// test may change its faults and read its request log; under Wine the test
// run has started the native server for every scenario beforehand, and the
// test finds its port in the folder named by DOVREL_TEST_SERVERS.

#include <memory>
#include <string>

namespace dovrel::server {
class FileServer;
}

namespace dovrel::test {

class TestServer {
 public:
  explicit TestServer(const std::string& scenario);
  ~TestServer();

  bool Ready() const { return port_ > 0; }
  int Port() const { return port_; }
  const std::string& Error() const { return error_; }
  // How many requests of `service` the server has read: natively from its
  // log, under Wine from the trace of a scenario run with --trace-requests
  // (-1 when there is none).
  int CountRequests(const std::string& service) const;
  // The in-process server, natively; null under Wine.
  server::FileServer* InProcess() const { return server_.get(); }
#ifndef _WIN32
  // The fingerprints of the server's certificate and of its key, as a pin list.
  std::string Pins() const;
#endif

 private:
  int port_ = 0;
  std::string outputFile_;
  std::string error_;
  std::unique_ptr<server::FileServer> server_;
};

// The folder the scenarios serve, and the date that holds most sample files.
std::string FixtureRoot();
inline constexpr char kSampleDate[] = "20261208";

}  // namespace dovrel::test
