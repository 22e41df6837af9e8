#pragma once
// Watches for a message box with a given caption, from any process on the
// desktop, reads its text (control 0xFFFF) and closes it with OK. The caller
// runs the code that shows the box while the watch waits, bounded; when no
// such box comes in time, any other message box is closed, so nothing hangs.

#include <windows.h>

#include <string>
#include <thread>

namespace dovrel::test {

class BoxWatch {
 public:
  explicit BoxWatch(std::wstring caption, DWORD timeoutMs = 60000);
  ~BoxWatch();  // waits for the watch to end
  BoxWatch(const BoxWatch&) = delete;
  BoxWatch& operator=(const BoxWatch&) = delete;

  // The text of the box that was closed; empty when none came in time.
  std::wstring Text();
  bool Owned() const { return owned_; }  // the box had an owner window

 private:
  std::wstring caption_;
  DWORD timeoutMs_;
  std::wstring text_;
  bool owned_ = false;
  std::thread thread_;
};

}  // namespace dovrel::test
