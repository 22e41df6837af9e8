#pragma once
// Splits a fuzzer's input into the parts a target needs: a few leading bytes
// that steer it (piece sizes, capacities, switches) and the text after them.

#include <cstddef>
#include <cstdint>
#include <string>

namespace dovrel::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // The next byte, or 0 once the input is used up.
  std::uint8_t Byte() { return used_ < size_ ? data_[used_++] : 0; }

  // Everything not yet taken, as text (it may hold zero bytes).
  std::string Rest() {
    std::string rest(reinterpret_cast<const char*>(data_) + used_, size_ - used_);
    used_ = size_;
    return rest;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t used_ = 0;
};

// Ends the run with a report the fuzzer records as a finding.
[[noreturn]] void Fail(const char* what);

}  // namespace dovrel::fuzz
