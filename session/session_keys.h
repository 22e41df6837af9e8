#pragma once
// The keys of one secure session: drawn by the key exchange, read by the
// download worker. All zero until the key exchange fills them.

#include <cstddef>

namespace dovrel {

inline constexpr std::size_t kSessionKeySize = 16;
inline constexpr std::size_t kInitVectorSize = 8;
inline constexpr std::size_t kSkeySize = 128;  // terminating zero included

struct SessionKeys {
  unsigned char sessionKey[kSessionKeySize] = {};
  unsigned char initVector[kInitVectorSize] = {};
  char skey[kSkeySize] = {};
};

}  // namespace dovrel
