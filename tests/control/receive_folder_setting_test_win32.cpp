// The receive-folder setting against the real registry, under a key of its own.
#include <windows.h>
#include <aclapi.h>

#include <cstring>
#include <string>

#include "control/receive_folder_setting_win32.h"
#include "tests/support/window_driver_win32.h"
#include "tests/support/window_test_support_win32.h"

namespace dovrel::test {
namespace {

constexpr char kTestKey[] = "SOFTWARE\\Morvanta\\OrsennTest";
constexpr REGSAM kView = KEY_WOW64_32KEY;

class ReceiveFolderSetting : public ::testing::Test {
 protected:
  void SetUp() override { Remove(); }
  void TearDown() override { Remove(); }
  // Gives the key back its full access first (its owner may always change that).
  static void Remove() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, WRITE_DAC | kView, &key) == ERROR_SUCCESS) {
      SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                      nullptr);
      RegCloseKey(key);
    }
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kTestKey, kView, 0);
  }

  // Writes the value's bytes as they are, with or without a terminating zero.
  static void WriteRaw(const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS | kView,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "PayListPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
  }

  static int Load(std::string* folder) {
    char buffer[260];
    std::memset(buffer, 'x', sizeof buffer);
    const int result = LoadReceiveFolderFrom(kTestKey, buffer, sizeof buffer);
    *folder = std::string(buffer, strnlen(buffer, sizeof buffer));
    return result;
  }
};

TEST_F(ReceiveFolderSetting, LoadsWhatFitsAndRefusesTheRest) {
  const struct {
    std::string stored;  // the value's bytes
    int result;
    std::string loaded;
  } cases[] = {
      {std::string(258, 'a') + '\0', -1, std::string(258, 'a')},
      {std::string(259, 'a') + '\0', 0, ""},
      {std::string(300, 'a') + '\0', 0, ""},
      {std::string(1, '\0'), 0, ""},
      {"", 0, ""},
      {"C:\\recv", -1, "C:\\recv"},                        // no terminating zero
      {std::string(258, 'b'), -1, std::string(258, 'b')},  // no zero, 258 bytes
  };
  for (const auto& c : cases) {
    WriteRaw(c.stored);
    std::string folder;
    EXPECT_EQ(Load(&folder), c.result) << c.stored.size() << " bytes stored";
    EXPECT_EQ(folder, c.loaded) << c.stored.size() << " bytes stored";
  }
}

TEST_F(ReceiveFolderSetting, AMissingKeyLoadsNothing) {
  std::string folder;
  EXPECT_EQ(Load(&folder), 0);
  EXPECT_EQ(folder, "");
  EXPECT_EQ(LoadReceiveFolderFrom(kTestKey, nullptr, 260), 0);
}

TEST_F(ReceiveFolderSetting, SavingCreatesTheKeyAndA259ByteFolderIsStoredButNotLoaded) {
  EXPECT_EQ(SaveReceiveFolderTo(kTestKey, ""), 0);
  EXPECT_EQ(SaveReceiveFolderTo(kTestKey, nullptr), 0);
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ | kView, &key), ERROR_SUCCESS);

  const std::string korean = Ansi("D:\\자료");
  EXPECT_EQ(SaveReceiveFolderTo(kTestKey, korean.c_str()), -1);
  std::string folder;
  EXPECT_EQ(Load(&folder), -1);
  EXPECT_EQ(folder, korean);

  const std::string long259(259, 'c');
  EXPECT_EQ(SaveReceiveFolderTo(kTestKey, long259.c_str()), -1);
  EXPECT_EQ(Load(&folder), 0);
}

TEST_F(ReceiveFolderSetting, AKeyThatMayOnlyBeReadStillLoads) {
  WriteRaw(std::string("C:\\readonly") + '\0');
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, WRITE_DAC | kView, &key), ERROR_SUCCESS);
  // Everyone may read; nobody may write.
  EXPLICIT_ACCESSA access{};
  access.grfAccessPermissions = KEY_READ;
  access.grfAccessMode = SET_ACCESS;
  access.grfInheritance = NO_INHERITANCE;
  access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  access.Trustee.ptstrName = const_cast<char*>("EVERYONE");
  PACL acl = nullptr;
  ASSERT_EQ(SetEntriesInAclA(1, &access, nullptr, &acl), ERROR_SUCCESS);
  ASSERT_EQ(SetSecurityInfo(key, SE_REGISTRY_KEY,
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, acl, nullptr),
            ERROR_SUCCESS);
  LocalFree(acl);
  RegCloseKey(key);

  HKEY full = nullptr;
  const LONG fullAccess =
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_ALL_ACCESS | kView, &full);
  if (fullAccess == ERROR_SUCCESS) RegCloseKey(full);
  EXPECT_NE(fullAccess, ERROR_SUCCESS) << "the key should refuse full access";
  std::string folder;
  EXPECT_EQ(Load(&folder), -1);
  EXPECT_EQ(folder, "C:\\readonly");
}

}  // namespace
}  // namespace dovrel::test
