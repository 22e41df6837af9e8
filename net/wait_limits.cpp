#include "net/wait_limits.h"

#include <algorithm>
#include <chrono>

namespace dovrel {

std::int64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::int64_t DeadlineAfter(std::int64_t nowMs, int boundMs) {
  return boundMs < 0 ? kNoDeadline : nowMs + boundMs;
}

int RemainingMs(std::int64_t deadlineMs, std::int64_t nowMs) {
  if (nowMs >= deadlineMs) return 0;
  // In unsigned arithmetic the difference cannot overflow.
  const std::uint64_t left =
      static_cast<std::uint64_t>(deadlineMs) - static_cast<std::uint64_t>(nowMs);
  constexpr auto kLongest = static_cast<std::uint64_t>(std::numeric_limits<int>::max());
  return static_cast<int>(std::min(left, kLongest));
}

int TimeLeftMs(std::int64_t nowMs, std::int64_t deadlineMs, int stepMs) {
  if (deadlineMs == kNoDeadline) return stepMs;
  const int left = RemainingMs(deadlineMs, nowMs);
  return stepMs < 0 ? left : std::min(stepMs, left);
}

std::int64_t LowSpeedRule::DeadlineMs() const {
  if (periodMs_ < 0 || minBytes_ == 0) return kNoDeadline;
  return markMs_ + periodMs_;
}

}  // namespace dovrel
