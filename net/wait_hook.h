#pragma once
// Something a thread does while one of its socket waits lasts. With a hook,
// a wait goes in slices of at most SliceMs() and asks Continue() before each:
// a window's thread serves its messages there, a worker looks at its Cancel
// flag. Once Continue() answers false the wait polls once and ends, so what
// is ready still counts and nothing more is waited for: to its caller the
// wait has run out of time.

namespace dovrel {

class WaitHook {
 public:
  virtual ~WaitHook() = default;
  virtual int SliceMs() const = 0;
  virtual bool Continue() = 0;
};

}  // namespace dovrel
