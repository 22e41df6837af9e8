#include "control/receive_file_win32.h"

#include <ctime>
#include <string>

#include "control/module_state_win32.h"
#include "control/receive_session.h"
#include "control/server_name_check.h"
#include "control/session_values.h"
#include "control/session_windows_win32.h"

namespace dovrel {
namespace {

// The automation string as ANSI text in the system code page.
std::string AnsiFromBstr(BSTR text) {
  const int length = static_cast<int>(SysStringLen(text));
  if (length == 0) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string ansi(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, ansi.data(), size, nullptr, nullptr);
  return ansi;
}

class Win32SessionPlatform final : public SessionPlatform {
 public:
  explicit Win32SessionPlatform(const SessionWindows& windows) : windows_(windows) {}

  int ResolveServer(const char* name, char* text, std::size_t capacity) override {
    return entry::ResolveServerAddress(name, text, capacity);
  }
  void ShowConnectFailure(const char* text) override {
    MessageBoxA(nullptr, text, AnsiText("오류").c_str(), MB_OK | MB_ICONERROR);
  }
  int LoadFolder(char* buffer, std::size_t size) override {
    return windows_.loadFolder(buffer, size);
  }
  int SaveFolder(const char* text) override { return windows_.saveFolder(text); }
  int PromptFolder(const char* initialFolder, char* folder, std::size_t capacity) override {
    return windows_.promptFolder(initialFolder, GetActiveWindow(), folder, capacity);
  }
  void RunReceiveWindow(const ReceiveParameters& parameters) override {
    windows_.runReceiveWindow(parameters, GetActiveWindow());
  }
  std::tm LocalNow() override {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return local;
  }

 private:
  const SessionWindows& windows_;
};

}  // namespace

HRESULT ReceiveFileEntry(BSTR options, BSTR* result) {
  if (result == nullptr) return E_POINTER;
  // The host may let the object go from inside the session's windows; the
  // module stays until the session has returned.
  const ModuleLock session;
  *result = nullptr;
  const std::string ansi = AnsiFromBstr(options);
  Win32SessionPlatform platform(ModuleSessionWindows());
  const int status = RunReceiveSession(ansi.data(), ansi.size(), platform);
  *result = SysAllocString(status == 1 ? L"1" : L"0");
  return *result != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace dovrel
