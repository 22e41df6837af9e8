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
  std::ifstream file(std::string(folder) + "\\" + scenario + ".port");
  if (!(file >> port_)) {
    port_ = 0;
    error_ = "no running server for scenario " + scenario;
  }
}

TestServer::~TestServer() = default;

}  // namespace dovrel::test
