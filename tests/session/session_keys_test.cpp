#include "session/session_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace dovrel {
namespace {

// Storage that outlives the object placed in it, so that what the object's
// end leaves behind can be read.
template <typename T>
struct Placement {
  Placement() { std::memset(bytes, 0xEE, sizeof bytes); }
  alignas(T) unsigned char bytes[sizeof(T)];
  bool AllZero() const {
    return std::all_of(std::begin(bytes), std::end(bytes), [](unsigned char b) { return b == 0; });
  }
};

void Fill(SessionKeys* keys) {
  std::memset(keys->sessionKey, 0xA5, sizeof keys->sessionKey);
  std::memset(keys->initVector, 0x5A, sizeof keys->initVector);
  std::memset(keys->skey, 'S', sizeof keys->skey - 1);
}

TEST(SessionKeys, EveryCopyClearsItselfWhenItEnds) {
  Placement<SessionKeys> original;
  Placement<SessionKeys> copy;
  SessionKeys* keys = new (original.bytes) SessionKeys;
  Fill(keys);
  SessionKeys* copied = new (copy.bytes) SessionKeys(*keys);
  copied->~SessionKeys();
  EXPECT_TRUE(copy.AllZero());
  EXPECT_EQ(keys->sessionKey[15], 0xA5);  // the original keeps its keys
  keys->~SessionKeys();
  EXPECT_TRUE(original.AllZero());
}

TEST(SessionKeys, WipeClearsAllThreeFields) {
  SessionKeys keys;
  Fill(&keys);
  keys.Wipe();
  const auto zero = [](const auto& field) {
    return std::all_of(std::begin(field), std::end(field), [](auto c) { return c == 0; });
  };
  EXPECT_TRUE(zero(keys.sessionKey));
  EXPECT_TRUE(zero(keys.initVector));
  EXPECT_TRUE(zero(keys.skey));
}

TEST(SecretText, ClearsItsTextWhenItEnds) {
  Placement<SecretText<1024>> storage;
  auto* text = new (storage.bytes) SecretText<1024>;
  std::memset(text->text, 'k', sizeof text->text);
  text->~SecretText();
  EXPECT_TRUE(storage.AllZero());
}

}  // namespace
}  // namespace dovrel
