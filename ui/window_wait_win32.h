#pragma once
// The wait of a window's thread for the server (the file list query, the key
// exchange), as a hook of its socket waits: between short slices the thread
// serves its messages, so its windows repaint and answer, while every control
// of the windows concerned is disabled and their commands are not carried out,
// so that nothing re-enters. Esc, the busy popup's Esc, or a close request
// that a window passes on (RequestClose) ends the wait as if its time had run
// out: the caller then fails with the message of that time-out.

#include <windows.h>

#include <initializer_list>
#include <vector>

#include "net/wait_hook.h"
#include "ui/busy_indicator.h"

namespace dovrel {

inline constexpr int kWindowWaitSliceMs = 50;

class WindowWait final : public WaitHook {
 public:
  // Watches `windows` (null entries are skipped); their controls are disabled
  // from the first slice of a socket wait until this goes.
  WindowWait(std::initializer_list<HWND> windows, const BusyIndicator* busy);
  ~WindowWait() override;
  WindowWait(const WindowWait&) = delete;
  WindowWait& operator=(const WindowWait&) = delete;

  int SliceMs() const override { return kWindowWaitSliceMs; }
  // Serves the messages that are there; false once the wait is to end.
  bool Continue() override;
  void Abandon() { abandoned_ = true; }

  // The wait under way on the calling thread, or null. A window whose
  // commands arrive meanwhile ignores them, and turns a close request into
  // Abandon, closing once the waiting operation has returned.
  static WindowWait* Current();

 private:
  void DisableControls();
  bool Watches(HWND window) const;

  std::vector<HWND> windows_;
  std::vector<HWND> disabled_;
  HWND focus_ = nullptr;
  const BusyIndicator* busy_;
  bool controlsOff_ = false;
  bool abandoned_ = false;
  WindowWait* outer_;
};

}  // namespace dovrel
