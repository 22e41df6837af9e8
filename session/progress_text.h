#pragma once
// The texts and the bar position that the progress window shows while a file
// arrives. Pure functions, so every threshold is tested from a table.

#include <cstdint>
#include <string>

namespace dovrel {

// "<received+1> of <total>": bytes up to 1024, then whole KB, then MB with one
// decimal; the total in KB or MB with one decimal. Halves round away from zero.
std::string SizeText(std::uint64_t received, std::uint64_t total);

// received / total * 100, in double precision with the division first,
// truncated: 29 of 100 gives 28. 0 for an empty total; never above 100.
int ProgressPosition(std::uint64_t received, std::uint64_t total);

// "<count>개중 <index>번째" with the item number padded to two places.
std::string CountText(int count, int itemNumber);

// value / 2^shift with `decimals` decimals (0 or 1), rounded half away from
// zero. Exact: both divisors are powers of two, so no printf rounding is involved.
std::string FixedPoint(std::uint64_t value, int shift, int decimals);

}  // namespace dovrel
