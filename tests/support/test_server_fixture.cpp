// Under Wine the servers run natively, started by the test run; each
// scenario's port is in DOVREL_TEST_SERVERS\<scenario>.port.
#include <cstdlib>
#include <fstream>

#include "tests/support/test_server.h"

namespace dovrel::server {
class FileServer {};
}  // namespace dovrel::server

namespace dovrel::test {

std::string FixtureRoot() { return std::string(DOVREL_TEST_FIXTURES) + "/root"; }

TestServer::TestServer(const std::string& scenario) {
  const char* folder = std::getenv("DOVREL_TEST_SERVERS");
  if (folder == nullptr) {
    error_ = "DOVREL_TEST_SERVERS is not set: the test run starts the servers";
    return;
  }
  outputFile_ = std::string(folder) + "\\" + scenario + ".out";
  std::ifstream file(std::string(folder) + "\\" + scenario + ".port");
  if (!(file >> port_)) {
    port_ = 0;
    error_ = "no running server for scenario " + scenario;
  }
}

TestServer::~TestServer() = default;

int TestServer::CountRequests(const std::string& service) const {
  std::ifstream output(outputFile_);
  if (!output) return -1;
  const std::string wanted = "request " + service;
  int count = 0;
  for (std::string line; std::getline(output, line);) {
    if (line == wanted) ++count;
  }
  return count;
}

}  // namespace dovrel::test
