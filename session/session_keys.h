#pragma once
// The keys of one secure session: drawn by the key exchange, read by the
// download worker. All zero until the key exchange fills them; every copy
// clears itself when it ends, so no key outlives its owner in memory.

#include <cstddef>

namespace dovrel {

inline constexpr std::size_t kSessionKeySize = 16;
inline constexpr std::size_t kInitVectorSize = 8;
inline constexpr std::size_t kSkeySize = 128;  // terminating zero included

// Overwrites secret bytes with zeroes in a way the compiler cannot leave out.
void WipeSecret(void* bytes, std::size_t count);

struct SessionKeys {
  unsigned char sessionKey[kSessionKeySize] = {};
  unsigned char initVector[kInitVectorSize] = {};
  char skey[kSkeySize] = {};

  SessionKeys() = default;
  SessionKeys(const SessionKeys&) = default;
  SessionKeys& operator=(const SessionKeys&) = default;
  ~SessionKeys() { Wipe(); }
  void Wipe() {
    WipeSecret(sessionKey, sizeof sessionKey);
    WipeSecret(initVector, sizeof initVector);
    WipeSecret(skey, sizeof skey);
  }
};

// A text buffer that holds secrets (the Key text), cleared when it ends.
template <std::size_t Size>
struct SecretText {
  char text[Size] = {};

  SecretText() = default;
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;
  ~SecretText() { WipeSecret(text, sizeof text); }
};

}  // namespace dovrel
