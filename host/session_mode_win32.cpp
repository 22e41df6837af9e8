#include <objbase.h>
#include <windows.h>

#include <string>

#include "control/window_session_platform_win32.h"
#include "host/session_mode.h"
#include "net/wire_text.h"

namespace dovrel::host {
namespace {

// The page is the origin the extension reported; the browser's window, where
// it named one, owns the session's windows.
class HostSessionPlatform final : public WindowSessionPlatform {
 public:
  HostSessionPlatform(HWND owner, const std::string& origin, const SiteLists& sites)
      : owner_(owner), origin_(origin), sites_(sites) {}

  PageAddresses Page() override {
    PageAddresses page;
    page.addresses.push_back(origin_);
    page.hostShowsPages = true;
    return page;
  }
  SiteLists AllowedSites() override { return sites_; }

 private:
  HWND Owner() override { return owner_; }

  HWND owner_;
  const std::string& origin_;
  const SiteLists& sites_;
};

// The folder browser needs a single-threaded apartment on the session's thread.
class Apartment {
 public:
  Apartment() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~Apartment() {
    if (initialized_) CoUninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;

 private:
  bool initialized_;
};

}  // namespace

std::function<std::string(const Request&, const Caller&)> SessionMode(const SiteLists& sites) {
  return [sites](const Request& request, const Caller& caller) -> std::string {
    const Apartment apartment;
    HWND parent = reinterpret_cast<HWND>(caller.parentWindow);
    HWND owner = parent != nullptr && IsWindow(parent) ? parent : nullptr;
    // The option text in the ANSI code page, as the control takes a page's.
    std::string options;
    if (!PlatformWireText().FromUtf8(request.options, &options)) options.clear();
    HostSessionPlatform platform(owner, request.origin, sites);
    return RunReceiveSession(options.data(), options.size(), platform) == 1 ? "1" : "0";
  };
}

}  // namespace dovrel::host
