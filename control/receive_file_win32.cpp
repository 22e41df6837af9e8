#include "control/receive_file_win32.h"

#include <string>

#include "base/win32/window_helpers_win32.h"
#include "control/allowed_sites_win32.h"
#include "control/module_state_win32.h"
#include "control/page_address_win32.h"
#include "control/receive_session.h"
#include "control/window_session_platform_win32.h"

namespace dovrel {
namespace {

// The owner of a session's window: the page's window when it is one of this
// thread's, else this thread's active window, else the foreground window when
// it is this thread's; none only when the thread shows no window at all.
HWND SessionOwner(HWND host) {
  const DWORD thread = GetCurrentThreadId();
  if (host != nullptr && IsWindow(host) && GetWindowThreadProcessId(host, nullptr) == thread) {
    return host;
  }
  if (HWND active = GetActiveWindow(); active != nullptr) return active;
  HWND foreground = GetForegroundWindow();
  if (foreground != nullptr && GetWindowThreadProcessId(foreground, nullptr) == thread) {
    return foreground;
  }
  return nullptr;
}

class Win32SessionPlatform final : public WindowSessionPlatform {
 public:
  Win32SessionPlatform(HWND host, IOleClientSite* site) : host_(host), site_(site) {}

  PageAddresses Page() override { return PageOfSite(site_); }
  SiteLists AllowedSites() override { return ReadAllowedSites(ModuleInstance()); }

 private:
  HWND Owner() override { return SessionOwner(host_); }

  HWND host_;
  IOleClientSite* site_;
};

}  // namespace

HRESULT ReceiveFileEntry(BSTR options, BSTR* result, HWND host, IOleClientSite* site) {
  if (result == nullptr) return E_POINTER;
  // The host may let the object go from inside the session's windows; the
  // module stays until the session has returned.
  const ModuleLock session;
  *result = nullptr;
  const std::string ansi = AnsiFromBstr(options);
  Win32SessionPlatform platform(host, site);
  const int status = RunReceiveSession(ansi.data(), ansi.size(), platform);
  *result = SysAllocString(status == 1 ? L"1" : L"0");
  return *result != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace dovrel
