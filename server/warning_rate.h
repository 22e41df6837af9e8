#pragma once
// Counts the occurrences of one kind of warning and says when a line is due:
// at most one per interval, standing for every occurrence since the last.

#include <chrono>
#include <cstddef>
#include <optional>

namespace dovrel::server {

class WarningRate {
 public:
  using Clock = std::chrono::steady_clock;

  explicit WarningRate(Clock::duration interval) : interval_(interval) {}

  // Counts one occurrence. When a line is due, the occurrences it stands for
  // (this one included); nothing when it waits for the interval to pass.
  std::optional<std::size_t> Note(Clock::time_point now);
  // The occurrences not yet told, once the interval has passed since the last line.
  std::optional<std::size_t> Flush(Clock::time_point now);

 private:
  std::optional<std::size_t> TakeIfDue(Clock::time_point now);

  const Clock::duration interval_;
  std::optional<Clock::time_point> lastLine_;
  std::size_t untold_ = 0;
};

}  // namespace dovrel::server
