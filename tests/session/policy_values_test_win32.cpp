// The administrator's policy values, written where an administrator writes them
// (the system's own registry view) and read back as the control reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "session/server_pins.h"
#include "session/transport_security.h"

namespace dovrel {
namespace {

constexpr char kPolicyKey[] = "SOFTWARE\\Policies\\Dovrel";
constexpr REGSAM kSystemView = KEY_WOW64_64KEY;

class PolicyValues : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ReadPolicyServerPins().empty() || !ReadPolicyRequireTls().empty())
      GTEST_SKIP() << "this machine has a policy value of its own";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, nullptr, 0, KEY_ALL_ACCESS | kSystemView,
                        nullptr, &key_, nullptr) != ERROR_SUCCESS)
      GTEST_SKIP() << "the policy key cannot be written here";
  }
  void TearDown() override {
    if (key_ == nullptr) return;
    RegDeleteValueA(key_, "ServerPins");
    RegDeleteValueA(key_, "RequireTls");
    RegCloseKey(key_);
  }
  void Write(DWORD type, const std::string& bytes, const char* name = "ServerPins") {
    ASSERT_EQ(RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
  }

  HKEY key_ = nullptr;
};

TEST_F(PolicyValues, AStringValueIsReadAsItsList) {
  const std::string list = std::string(64, 'a') + ";" + std::string(64, 'b');
  Write(REG_SZ, list + std::string(1, '\0'));
  EXPECT_EQ(ReadPolicyServerPins(), list);
  Write(REG_SZ, list);  // without its terminator
  EXPECT_EQ(ReadPolicyServerPins(), list);
  EXPECT_EQ(ParseServerPins(ReadPolicyServerPins()).fingerprints.size(), 2u);
}

TEST_F(PolicyValues, AValueOfAnotherTypeTrustsNoServer) {
  Write(REG_DWORD, std::string(4, '\1'));
  const ServerPins pins = ParseServerPins(ReadPolicyServerPins());
  EXPECT_TRUE(pins.set);
  EXPECT_TRUE(pins.fingerprints.empty());
}

TEST_F(PolicyValues, RequireTlsAsksForTlsUnlessItReadsZero) {
  EXPECT_FALSE(PolicyRequiresTls(ReadPolicyRequireTls()));  // no value
  Write(REG_SZ, std::string("0", 2), "RequireTls");
  EXPECT_FALSE(PolicyRequiresTls(ReadPolicyRequireTls()));
  Write(REG_SZ, std::string("1", 2), "RequireTls");
  EXPECT_TRUE(PolicyRequiresTls(ReadPolicyRequireTls()));
  Write(REG_DWORD, std::string(4, '\0'), "RequireTls");  // unreadable as text: asks all the same
  EXPECT_TRUE(PolicyRequiresTls(ReadPolicyRequireTls()));
}

}  // namespace
}  // namespace dovrel
