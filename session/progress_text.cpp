#include "session/progress_text.h"

#include <cstdio>

namespace dovrel {
namespace {

constexpr std::uint64_t kKilobyte = 1024;
constexpr std::uint64_t kMegabyte = 1048576;

}  // namespace

std::string FixedPoint(std::uint64_t value, int shift, int decimals) {
  const std::uint64_t scale = decimals == 0 ? 1 : 10;
  // Scaled units, rounded half up: (value * scale + 2^(shift-1)) / 2^shift,
  // split so that no intermediate overflows 64 bits.
  const std::uint64_t whole = (value >> shift) * scale;
  const std::uint64_t fraction = (value & ((std::uint64_t{1} << shift) - 1)) * scale;
  const std::uint64_t units = whole + ((fraction + (std::uint64_t{1} << (shift - 1))) >> shift);
  char text[48];
  if (decimals == 0) {
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(units));
  } else {
    std::snprintf(text, sizeof text, "%llu.%llu", static_cast<unsigned long long>(units / 10),
                  static_cast<unsigned long long>(units % 10));
  }
  return text;
}

std::string SizeText(std::uint64_t received, std::uint64_t total) {
  const std::string totalPart =
      total >= kMegabyte ? FixedPoint(total, 20, 1) + "MB" : FixedPoint(total, 10, 1) + "KB";
  const std::uint64_t shown = received + 1;  // the window always shows one byte more
  if (shown <= kKilobyte) return std::to_string(shown) + "Byte of " + totalPart;
  if (shown > kMegabyte) return FixedPoint(shown, 20, 1) + "MB of " + totalPart;
  return FixedPoint(shown, 10, 0) + "KB of " + totalPart;
}

int ProgressPosition(std::uint64_t received, std::uint64_t total) {
  if (total == 0) return 0;
  // Each step is rounded to double, also where the i686 build computes in the
  // x87 unit's wider format (there 29 / 100 * 100 would come out as 29).
  volatile double ratio = static_cast<double>(received) / static_cast<double>(total);
  volatile double position = ratio * 100.0;
  if (position >= 100.0) return 100;
  return static_cast<int>(position);
}

std::string CountText(int count, int itemNumber) {
  char text[64];
  std::snprintf(text, sizeof text, "%d개중 %2d번째", count, itemNumber);
  return text;
}

}  // namespace dovrel
