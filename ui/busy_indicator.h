#pragma once
// The busy popup as the progress window and the waits see it: shown while the
// user-interface thread waits for the server. The main receive window supplies it.

namespace dovrel {

class BusyIndicator {
 public:
  virtual ~BusyIndicator() = default;
  virtual void Start(const char* textUtf8) = 0;
  // The popup and its thread are gone when this returns.
  virtual void Stop() = 0;
  // True once the user has closed the popup with Esc: the wait it covers ends.
  virtual bool Dismissed() const = 0;
};

}  // namespace dovrel
