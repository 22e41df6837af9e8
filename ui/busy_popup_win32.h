#pragma once
// The busy popup: a caption-less line of text on a thread of its own, shown
// while the user-interface thread waits for the server.

#include <windows.h>

#include <memory>

#include "ui/busy_indicator.h"

namespace dovrel {

struct BusyPopupState;

// The popup's thread; empty when it could not be created.
class BusyPopupHandle {
 public:
  BusyPopupHandle() = default;
  BusyPopupHandle(HANDLE thread, std::shared_ptr<BusyPopupState> state);
  ~BusyPopupHandle();
  BusyPopupHandle(BusyPopupHandle&& other) noexcept;
  BusyPopupHandle& operator=(BusyPopupHandle&& other) noexcept;
  BusyPopupHandle(const BusyPopupHandle&) = delete;
  BusyPopupHandle& operator=(const BusyPopupHandle&) = delete;
  explicit operator bool() const { return thread_ != nullptr; }
  // The user closed the popup with Esc.
  bool Dismissed() const;

 private:
  friend void StopBusyPopup(BusyPopupHandle& handle);
  HANDLE thread_ = nullptr;
  std::shared_ptr<BusyPopupState> state_;
};

inline constexpr char kBusyTitle[] = "데이터 처리중입니다";
inline constexpr DWORD kBusyPauseMs = 500;
// How long stopping waits for the popup's thread to end after its close request.
inline constexpr DWORD kBusyStopWaitMs = 3000;

// Starts the popup with `textUtf8`, then pauses the caller for 500 ms.
BusyPopupHandle StartBusyPopup(const char* textUtf8);
// Asks the popup to close and waits, with a bound, for its thread to end; a
// popup already closed by the user is simply gone. The handle is empty afterwards.
void StopBusyPopup(BusyPopupHandle& handle);

// Popup threads that have not yet ended.
int LiveBusyPopupThreads();

// The busy indicator that the windows hand to the file list query and the key exchange.
class BusyPopup final : public BusyIndicator {
 public:
  ~BusyPopup() override { Stop(); }
  void Start(const char* textUtf8) override { handle_ = StartBusyPopup(textUtf8); }
  void Stop() override { StopBusyPopup(handle_); }
  bool Dismissed() const override { return handle_.Dismissed(); }

 private:
  BusyPopupHandle handle_;
};

}  // namespace dovrel
