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

int TimeLeftMs(std::int64_t nowMs, std::int64_t deadlineMs, int stepMs) {
  if (deadlineMs == kNoDeadline) return stepMs;
  if (nowMs >= deadlineMs) return 0;
  const std::int64_t left = deadlineMs - nowMs;
  const std::int64_t step = stepMs < 0 ? left : std::min<std::int64_t>(stepMs, left);
  return static_cast<int>(std::min<std::int64_t>(step, std::numeric_limits<int>::max()));
}

std::int64_t LowSpeedRule::DeadlineMs() const {
  if (periodMs_ < 0 || minBytes_ == 0) return kNoDeadline;
  return markMs_ + periodMs_;
}

}  // namespace dovrel
