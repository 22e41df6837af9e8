#include <fstream>
#include <sstream>
#include <vector>

#include "server/command_line.h"
#include "server/file_server.h"
#include "pkcs7/certificate_fingerprints.h"
#include "tests/support/test_server.h"

namespace dovrel::test {
namespace {

// The scenario's arguments from servers.txt, split at blanks.
bool ScenarioArguments(const std::string& scenario, std::vector<std::string>* arguments) {
  std::ifstream table(std::string(DOVREL_TEST_FIXTURES) + "/servers.txt");
  std::string line;
  while (std::getline(table, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::size_t bar = line.find('|');
    if (bar == std::string::npos || line.substr(0, bar) != scenario) continue;
    std::istringstream words(line.substr(bar + 1));
    for (std::string word; words >> word;) arguments->push_back(word);
    return true;
  }
  return false;
}

}  // namespace

std::string FixtureRoot() { return std::string(DOVREL_TEST_FIXTURES) + "/root"; }

TestServer::TestServer(const std::string& scenario) {
  std::vector<std::string> arguments = {"--root", FixtureRoot(), "--port", "0"};
  if (!ScenarioArguments(scenario, &arguments)) {
    error_ = "no server scenario named " + scenario;
    return;
  }
  server::CommandLine commandLine;
  if (!server::ParseCommandLine(arguments, &commandLine, &error_)) return;
  commandLine.options.warn = [](const std::string&) {};
  commandLine.options.traceRequests = false;  // the in-process log serves instead
  server_ = server::FileServer::Start(commandLine.options, &error_);
  if (server_) port_ = server_->Port();
}

TestServer::~TestServer() {
  if (server_) server_->Stop();
}

int TestServer::CountRequests(const std::string& service) const {
  return server_ ? static_cast<int>(server_->CountRequests(service)) : -1;
}

std::string TestServer::Pins() const {
  CertificateFingerprints own;
  if (!server_ || !FingerprintCertificate(server_->Credentials().certificate.get(), &own))
    return {};
  return FormatFingerprint(own.certificate) + ";" + FormatFingerprint(own.publicKey);
}

}  // namespace dovrel::test
