#pragma once
// Bounds on operations made of many waits: a whole reply, or the pace of a
// file's arrival. Plain arithmetic on millisecond times, the current time
// always passed in, so that each rule can be checked without waiting.

#include <cstdint>
#include <limits>

namespace dovrel {

// Milliseconds of a clock that is never set back.
std::int64_t MonotonicMs();

inline constexpr std::int64_t kNoDeadline = std::numeric_limits<std::int64_t>::max();

// The moment `boundMs` after `nowMs`; kNoDeadline for a negative bound.
std::int64_t DeadlineAfter(std::int64_t nowMs, int boundMs);

// What is left from `nowMs` until `deadlineMs`, as a wait takes it: 0 once
// the deadline has passed, and never more than an int holds.
int RemainingMs(std::int64_t deadlineMs, std::int64_t nowMs);

// The wait for the next step of a bounded operation: the step's own time-out
// (positive), cut to what is left before the deadline. 0 once the deadline
// has passed: the operation has run out of time. A step without a limit of
// its own (negative) gets all that is left, or no limit without a deadline.
int TimeLeftMs(std::int64_t nowMs, std::int64_t deadlineMs, int stepMs);

// The low-speed rule of a file fetch: a reply must gain `minBytes` within
// `periodMs`, counted from its start and afresh from each moment it has
// gained another `minBytes`. A period below zero, or no bytes, is no rule.
class LowSpeedRule {
 public:
  LowSpeedRule(std::uint64_t minBytes, int periodMs) : minBytes_(minBytes), periodMs_(periodMs) {}

  void Start(std::int64_t nowMs, std::uint64_t total) {
    markMs_ = nowMs;
    markBytes_ = total;
  }
  // The reply's total after a read that ended at `nowMs`: the bytes count
  // first, even when the read ended just at the deadline.
  void Update(std::int64_t nowMs, std::uint64_t total) {
    if (total >= markBytes_ && total - markBytes_ >= minBytes_) Start(nowMs, total);
  }
  // When the next `minBytes` must be in by.
  std::int64_t DeadlineMs() const;
  bool Broken(std::int64_t nowMs) const { return nowMs >= DeadlineMs(); }

 private:
  std::uint64_t minBytes_;
  int periodMs_;
  std::int64_t markMs_ = 0;
  std::uint64_t markBytes_ = 0;
};

}  // namespace dovrel
