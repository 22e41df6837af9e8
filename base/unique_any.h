#pragma once
// One small owner template for every kind of handle: a handle type, the function
// that releases it and the value that means "none". Named aliases (unique_fd,
// unique_hkey, ...) are declared next to the code that uses each kind.

#include <utility>

namespace dovrel {

template <typename Handle, auto Release, Handle None = Handle{}>
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
  explicit operator bool() const { return value_ != None; }

  Handle release() { return std::exchange(value_, None); }
  void reset(Handle value = None) {
    Handle old = std::exchange(value_, value);
    if (old != None) Release(old);
  }

 private:
  Handle value_ = None;
};

}  // namespace dovrel
