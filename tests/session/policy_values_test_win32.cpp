// The administrator's policy value, written where an administrator writes it
// (the system's own registry view) and read back as the control reads it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "session/server_pins.h"

namespace dovrel {
namespace {

constexpr char kPolicyKey[] = "SOFTWARE\\Policies\\Dovrel";
constexpr REGSAM kSystemView = KEY_WOW64_64KEY;

class PolicyServerPins : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ReadPolicyServerPins().empty())
      GTEST_SKIP() << "this machine has a policy value of its own";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, nullptr, 0, KEY_ALL_ACCESS | kSystemView,
                        nullptr, &key_, nullptr) != ERROR_SUCCESS)
      GTEST_SKIP() << "the policy key cannot be written here";
  }
  void TearDown() override {
    if (key_ == nullptr) return;
    RegDeleteValueA(key_, "ServerPins");
    RegCloseKey(key_);
  }
  void Write(DWORD type, const std::string& bytes) {
    ASSERT_EQ(
        RegSetValueExA(key_, "ServerPins", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size())),
        ERROR_SUCCESS);
  }

  HKEY key_ = nullptr;
};

TEST_F(PolicyServerPins, AStringValueIsReadAsItsList) {
  const std::string list = std::string(64, 'a') + ";" + std::string(64, 'b');
  Write(REG_SZ, list + std::string(1, '\0'));
  EXPECT_EQ(ReadPolicyServerPins(), list);
  Write(REG_SZ, list);  // without its terminator
  EXPECT_EQ(ReadPolicyServerPins(), list);
  EXPECT_EQ(ParseServerPins(ReadPolicyServerPins()).fingerprints.size(), 2u);
}

TEST_F(PolicyServerPins, AValueOfAnotherTypeTrustsNoServer) {
  Write(REG_DWORD, std::string(4, '\1'));
  const ServerPins pins = ParseServerPins(ReadPolicyServerPins());
  EXPECT_TRUE(pins.set);
  EXPECT_TRUE(pins.fingerprints.empty());
}

}  // namespace
}  // namespace dovrel
