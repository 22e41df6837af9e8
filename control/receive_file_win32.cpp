#include "control/receive_file_win32.h"

#include <ctime>
#include <string>

#include "control/allowed_sites_win32.h"
#include "control/folder_select_dialog_win32.h"
#include "control/module_state_win32.h"
#include "control/page_address_win32.h"
#include "control/protected_mode_win32.h"
#include "control/receive_folder_setting_win32.h"
#include "control/receive_session.h"
#include "control/receive_window_runner_win32.h"
#include "control/server_name_check.h"
#include "control/session_values.h"
#include "net/wire_text.h"
#include "base/win32/window_helpers_win32.h"

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

class Win32SessionPlatform final : public SessionPlatform {
 public:
  Win32SessionPlatform(HWND host, IOleClientSite* site) : host_(host), site_(site) {}

  int ResolveServer(const char* name, char* text, std::size_t capacity) override {
    return entry::ResolveServerAddress(name, text, capacity);
  }
  void ShowConnectFailure(const char* text) override { ShowError(text); }
  void ShowSiteRefused(const char* text) override { ShowError(text); }
  PageAddresses Page() override { return PageOfSite(site_); }
  SiteLists AllowedSites() override { return ReadAllowedSites(ModuleInstance()); }
  int LoadFolder(char* buffer, std::size_t size) override {
    return LoadReceiveFolder(buffer, size);
  }
  int SaveFolder(const char* text) override { return SaveReceiveFolder(text); }
  int PromptFolder(const char* initialFolder, char* folder, std::size_t capacity) override {
    return PromptForFolder(SessionOwner(host_), initialFolder, folder, capacity);
  }
  void RunReceiveWindow(const ReceiveParameters& parameters, bool mayStoreFolder) override {
    RunControlReceiveWindow(parameters, SessionOwner(host_), mayStoreFolder);
  }
  std::tm LocalNow() override {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return local;
  }

  bool BelowMediumIntegrity() override { return ProcessBelowMediumIntegrity(); }
  void ShowProtectedModeNotice() override { dovrel::ShowProtectedModeNotice(SessionOwner(host_)); }

 private:
  // The "오류" box. The text is in code page 949 whatever the system's ANSI
  // code page: it is shown wide, so that it reads the same on every machine.
  static void ShowError(const char* text) {
    const std::wstring wide = Utf8ToWide(WireToUtf8(Cp949WireText(), text));
    MessageBoxW(nullptr, wide.c_str(), Utf8ToWide("오류").c_str(), MB_OK | MB_ICONERROR);
  }

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
