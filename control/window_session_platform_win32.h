#pragma once
// A receive session in the control's own windows, owned by one window: the
// name check, the "오류" boxes, the receive-folder setting, the folder prompt,
// the main receive window and Protected Mode. Where the page and the site
// lists come from is the caller's: the control asks its client site, the
// browser host takes what the extension reported.

#include <windows.h>

#include "control/receive_session.h"

namespace dovrel {

class WindowSessionPlatform : public SessionPlatform {
 public:
  int ResolveServer(const char* name, char* text, std::size_t capacity) override;
  void ShowConnectFailure(const char* text) override;
  void ShowSiteRefused(const char* text) override;
  int LoadFolder(char* buffer, std::size_t size) override;
  int SaveFolder(const char* text) override;
  int PromptFolder(const char* initialFolder, char* folder, std::size_t capacity) override;
  void RunReceiveWindow(const ReceiveParameters& parameters, bool mayStoreFolder) override;
  std::tm LocalNow() override;
  bool BelowMediumIntegrity() override;
  void ShowProtectedModeNotice() override;

 protected:
  // The owner of each window, taken just before it opens; null for none.
  virtual HWND Owner() = 0;
};

}  // namespace dovrel
