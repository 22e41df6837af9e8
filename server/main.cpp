// dovrel-fileserver: the reference file server, run until SIGINT or SIGTERM.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "server/command_line.h"
#include "server/file_server.h"
#include "pkcs7/certificate_fingerprints.h"

int main(int argc, char** argv) {
  using namespace dovrel::server;
  using dovrel::CertificateFingerprints;
  using dovrel::FormatFingerprint;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  CommandLine commandLine;
  std::string error;
  if (!ParseCommandLine(arguments, &commandLine, &error)) {
    std::fprintf(stderr, "dovrel-fileserver: %s\n%s", error.c_str(), UsageText().c_str());
    return 2;
  }
  if (commandLine.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }

  // Every thread inherits the blocked signals; this one takes them with sigwait.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<FileServer> server = FileServer::Start(commandLine.options, &error);
  if (!server) {
    std::fprintf(stderr, "dovrel-fileserver: %s\n", error.c_str());
    return 1;
  }
  // What a client's build or policy pins to trust this server.
  CertificateFingerprints fingerprints;
  if (dovrel::FingerprintCertificate(server->Credentials().certificate.get(), &fingerprints)) {
    std::printf("certificate SHA-256: %s\n", FormatFingerprint(fingerprints.certificate).c_str());
    std::printf("public key SHA-256: %s\n", FormatFingerprint(fingerprints.publicKey).c_str());
  }
  std::printf("listening on %s:%d\n", server->BindAddress().c_str(), server->Port());
  std::fflush(stdout);

  int received = 0;
  sigwait(&signals, &received);
  server->Stop();
  return 0;
}
