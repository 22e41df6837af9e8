// The receive-folder setting against the real registry, under a key of its own
// in both hives: the user's (HKEY_CURRENT_USER) and the machine's.
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
const HKEY kUser = HKEY_CURRENT_USER;
const HKEY kMachine = HKEY_LOCAL_MACHINE;

const char* HiveName(HKEY root) { return root == kUser ? "user" : "machine"; }

class ReceiveFolderSetting : public ::testing::Test {
 protected:
  void SetUp() override { RemoveBoth(); }
  void TearDown() override { RemoveBoth(); }
  static void RemoveBoth() {
    Remove(kUser);
    Remove(kMachine);
  }
  // Gives the key back its full access first (its owner may always change that).
  static void Remove(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, kTestKey, 0, WRITE_DAC | kView, &key) == ERROR_SUCCESS) {
      SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                      nullptr);
      RegCloseKey(key);
    }
    RegDeleteKeyExA(root, kTestKey, kView, 0);
  }

  // Writes the value's bytes as they are, with or without a terminating zero.
  static void WriteRaw(HKEY root, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS | kView, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "PayListPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
  }

  // The value's text as stored under `root`, "<none>" without one.
  static std::string ReadRaw(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, kTestKey, 0, KEY_QUERY_VALUE | kView, &key) != ERROR_SUCCESS)
      return "<none>";
    char data[400] = {};
    DWORD size = sizeof data - 1;
    const LONG read = RegQueryValueExA(key, "PayListPath", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS ? data : "<none>";
  }

  // Everyone may read the key under `root`; nobody may write it.
  static void MakeReadOnly(HKEY root) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(root, kTestKey, 0, WRITE_DAC | kView, &key), ERROR_SUCCESS);
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

    HKEY writable = nullptr;
    const LONG opened = RegOpenKeyExA(root, kTestKey, 0, KEY_SET_VALUE | kView, &writable);
    if (opened == ERROR_SUCCESS) RegCloseKey(writable);
    ASSERT_NE(opened, ERROR_SUCCESS) << "the " << HiveName(root) << " key should refuse writes";
  }

  static int Load(std::string* folder) {
    char buffer[260];
    std::memset(buffer, 'x', sizeof buffer);
    const int result = LoadReceiveFolderFrom(kTestKey, buffer, sizeof buffer);
    *folder = std::string(buffer, strnlen(buffer, sizeof buffer));
    return result;
  }
};

// The same rules for either value, with the other one absent.
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
  for (HKEY root : {kUser, kMachine}) {
    for (const auto& c : cases) {
      WriteRaw(root, c.stored);
      std::string folder;
      EXPECT_EQ(Load(&folder), c.result) << c.stored.size() << " bytes stored, " << HiveName(root);
      EXPECT_EQ(folder, c.loaded) << c.stored.size() << " bytes stored, " << HiveName(root);
    }
    Remove(root);
  }
}

TEST_F(ReceiveFolderSetting, TheUsersValueWinsAndTheMachinesServesWhenTheUsersDoesNotLoad) {
  const struct {
    std::string user;  // the values' texts, "<none>" for no value
    std::string machine;
    int result;
    std::string loaded;
  } cases[] = {
      {"C:\\mine", "C:\\machine", -1, "C:\\mine"},
      {"<none>", "C:\\machine", -1, "C:\\machine"},
      {"", "C:\\machine", -1, "C:\\machine"},
      {std::string(259, 'u'), "C:\\machine", -1, "C:\\machine"},
      {std::string(258, 'u'), std::string(259, 'm'), -1, std::string(258, 'u')},
      {std::string(259, 'u'), std::string(259, 'm'), 0, ""},
  };
  for (const auto& c : cases) {
    RemoveBoth();
    if (c.user != "<none>") WriteRaw(kUser, c.user + '\0');
    WriteRaw(kMachine, c.machine + '\0');
    std::string folder;
    EXPECT_EQ(Load(&folder), c.result) << c.user.size() << " user bytes";
    EXPECT_EQ(folder, c.loaded) << c.user.size() << " user bytes";
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
  for (HKEY root : {kUser, kMachine}) {
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(root, kTestKey, 0, KEY_READ | kView, &key), ERROR_SUCCESS)
        << HiveName(root);
  }

  const std::string korean = Ansi("D:\\자료");
  EXPECT_EQ(SaveReceiveFolderTo(kTestKey, korean.c_str()), -1);
  std::string folder;
  EXPECT_EQ(Load(&folder), -1);
  EXPECT_EQ(folder, korean);
  EXPECT_EQ(ReadRaw(kUser), korean);
  EXPECT_EQ(ReadRaw(kMachine), "<none>");  // never the machine's, though this host may write it

  const std::string long259(259, 'c');
  EXPECT_EQ(SaveReceiveFolderTo(kTestKey, long259.c_str()), -1);
  EXPECT_EQ(Load(&folder), 0);
  EXPECT_EQ(ReadRaw(kUser), long259);
}

// What saving reports and stores when either key refuses writes: the machine's
// value is never written.
TEST_F(ReceiveFolderSetting, SavingWritesTheUsersFolderAlone) {
  const struct {
    HKEY refusing;
    int result;
    std::string user;  // the values afterwards
    std::string machine;
    std::string loaded;
  } cases[] = {
      {kMachine, -1, "C:\\new", "C:\\old", "C:\\new"},
      {kUser, 0, "C:\\old", "C:\\old", "C:\\old"},
  };
  for (const auto& c : cases) {
    RemoveBoth();
    WriteRaw(kUser, std::string("C:\\old") + '\0');
    WriteRaw(kMachine, std::string("C:\\old") + '\0');
    MakeReadOnly(c.refusing);
    EXPECT_EQ(SaveReceiveFolderTo(kTestKey, "C:\\new"), c.result) << HiveName(c.refusing);
    EXPECT_EQ(ReadRaw(kUser), c.user) << HiveName(c.refusing);
    EXPECT_EQ(ReadRaw(kMachine), c.machine) << HiveName(c.refusing);
    std::string folder;
    EXPECT_EQ(Load(&folder), -1) << HiveName(c.refusing);
    EXPECT_EQ(folder, c.loaded) << HiveName(c.refusing);
  }
}

TEST_F(ReceiveFolderSetting, AKeyThatMayOnlyBeReadStillLoads) {
  for (HKEY root : {kUser, kMachine}) {
    RemoveBoth();
    WriteRaw(root, std::string("C:\\readonly") + '\0');
    MakeReadOnly(root);
    HKEY full = nullptr;
    const LONG fullAccess = RegOpenKeyExA(root, kTestKey, 0, KEY_ALL_ACCESS | kView, &full);
    if (fullAccess == ERROR_SUCCESS) RegCloseKey(full);
    EXPECT_NE(fullAccess, ERROR_SUCCESS) << "the key should refuse full access";
    std::string folder;
    EXPECT_EQ(Load(&folder), -1) << HiveName(root);
    EXPECT_EQ(folder, "C:\\readonly") << HiveName(root);
  }
}

}  // namespace
}  // namespace dovrel::test
