// dovrel-host: the native messaging host through which the browser extension
// lists and receives the bank's files for a page, on the control's own rules.
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "dovrel_version.h"
#include "build_lists.h"
#include "host/conversation.h"
#include "host/platform.h"
#include "host/session_mode.h"

namespace {

using namespace dovrel::host;

class StdinReader final : public ByteReader {
 public:
  std::size_t Read(char* buffer, std::size_t size) override {
    return std::fread(buffer, 1, size, stdin);
  }
};

class StdoutSink final : public ReplySink {
 public:
  void Send(const std::string& json) override {
    const std::string frame = MakeFrame(json);
    if (frame.empty()) return;
    std::lock_guard<std::mutex> hold(lock_);
    std::fwrite(frame.data(), 1, frame.size(), stdout);
    std::fflush(stdout);
  }

 private:
  std::mutex lock_;
};

}  // namespace

int main(int argc, char** argv) {
  try {
    PrepareStdio();
    HostSettings settings;
    settings.version = DOVREL_VERSION_TEXT;
    settings.extensionList = kBuildExtensionIds;
    settings.sites.builtIn = kBuildAllowedSites;
    settings.sites.policy = ReadSitePolicy();
    settings.pins = dovrel::TrustedServerPins(dovrel::ReadPolicyServerPins());
    settings.session = SessionMode(settings.sites);
    StdinReader in;
    StdoutSink out;
    return Converse(IdentifyCaller(std::vector<std::string>(argv + 1, argv + argc)), settings, in,
                    out);
  } catch (...) {
    return 2;
  }
}
