#include "server/warning_rate.h"

namespace dovrel::server {

std::optional<std::size_t> WarningRate::TakeIfDue(Clock::time_point now) {
  if (untold_ == 0 || (lastLine_ && now - *lastLine_ < interval_)) return std::nullopt;
  lastLine_ = now;
  const std::size_t count = untold_;
  untold_ = 0;
  return count;
}

std::optional<std::size_t> WarningRate::Note(Clock::time_point now) {
  ++untold_;
  return TakeIfDue(now);
}

std::optional<std::size_t> WarningRate::Flush(Clock::time_point now) { return TakeIfDue(now); }

}  // namespace dovrel::server
