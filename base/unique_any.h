#pragma once
// One small owner template for every kind of handle: a handle type, the function
// that releases it and the value that means "none". Every named owner is declared
// once beside it: base/unique_handles_posix.h and base/win32/unique_handles_win32.h.

#include <cstdint>
#include <type_traits>
#include <utility>

namespace dovrel {

// `None` is a value of `Handle`, or for a pointer handle an integer whose
// pointer means "none" (-1 for the handles whose failure value is (T)-1).
template <typename Handle, auto Release, auto None = Handle{}>
class unique_any {
 public:
  unique_any() = default;
  explicit unique_any(Handle value) : value_(value) {}
  ~unique_any() { reset(); }

  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  unique_any(unique_any&& other) noexcept : value_(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Handle get() const { return value_; }
  explicit operator bool() const { return value_ != NoneValue(); }

  Handle release() { return std::exchange(value_, NoneValue()); }
  void reset(Handle value = NoneValue()) {
    Handle old = std::exchange(value_, value);
    if (old != NoneValue()) Release(old);
  }

  // For a function that hands a new handle out through a pointer: lets go of
  // what is held and gives the address of the empty slot to write into.
  Handle* put() {
    reset();
    return &value_;
  }

 private:
  static Handle NoneValue() {
    if constexpr (std::is_pointer_v<Handle> && std::is_integral_v<decltype(None)>) {
      // NOLINTNEXTLINE(performance-no-int-to-ptr): the platform's own failure value
      return reinterpret_cast<Handle>(static_cast<std::intptr_t>(None));
    } else {
      return None;
    }
  }

  Handle value_ = NoneValue();
};

}  // namespace dovrel
