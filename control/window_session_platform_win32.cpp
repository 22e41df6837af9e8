#include "control/window_session_platform_win32.h"

#include <ctime>
#include <string>

#include "base/win32/window_helpers_win32.h"
#include "control/folder_select_dialog_win32.h"
#include "control/protected_mode_win32.h"
#include "control/receive_folder_setting_win32.h"
#include "control/receive_window_runner_win32.h"
#include "control/server_name_check.h"
#include "net/wire_text.h"

namespace dovrel {
namespace {

// The "오류" box. The text is in code page 949 whatever the system's ANSI
// code page: it is shown wide, so that it reads the same on every machine.
void ShowError(const char* text) {
  const std::wstring wide = Utf8ToWide(WireToUtf8(Cp949WireText(), text));
  MessageBoxW(nullptr, wide.c_str(), Utf8ToWide("오류").c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace

int WindowSessionPlatform::ResolveServer(const char* name, char* text, std::size_t capacity) {
  return entry::ResolveServerAddress(name, text, capacity);
}

void WindowSessionPlatform::ShowConnectFailure(const char* text) { ShowError(text); }

void WindowSessionPlatform::ShowSiteRefused(const char* text) { ShowError(text); }

int WindowSessionPlatform::LoadFolder(char* buffer, std::size_t size) {
  return LoadReceiveFolder(buffer, size);
}

int WindowSessionPlatform::SaveFolder(const char* text) { return SaveReceiveFolder(text); }

int WindowSessionPlatform::PromptFolder(const char* initialFolder, char* folder,
                                        std::size_t capacity) {
  return PromptForFolder(Owner(), initialFolder, folder, capacity);
}

void WindowSessionPlatform::RunReceiveWindow(const ReceiveParameters& parameters,
                                             bool mayStoreFolder) {
  RunControlReceiveWindow(parameters, Owner(), mayStoreFolder);
}

std::tm WindowSessionPlatform::LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  return local;
}

bool WindowSessionPlatform::BelowMediumIntegrity() { return ProcessBelowMediumIntegrity(); }

void WindowSessionPlatform::ShowProtectedModeNotice() { dovrel::ShowProtectedModeNotice(Owner()); }

}  // namespace dovrel
