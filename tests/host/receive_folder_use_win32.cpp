#include <windows.h>

#include "control/receive_folder_setting_win32.h"
#include "tests/host/receive_folder_use.h"

namespace dovrel::test {
namespace {

constexpr char kKey[] = "SOFTWARE\\Morvanta\\Orsenn";
constexpr char kValue[] = "PayListPath";

}  // namespace

struct UseReceiveFolder::Previous {
  bool had = false;
  std::string value;
};

UseReceiveFolder::UseReceiveFolder(const std::string& folder, const std::string&)
    : previous_(std::make_unique<Previous>()) {
  char value[MAX_PATH] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_SZ, nullptr, value, &size) ==
      ERROR_SUCCESS) {
    previous_->had = true;
    previous_->value = value;
  }
  SaveReceiveFolder(folder.c_str());
}

UseReceiveFolder::~UseReceiveFolder() {
  if (previous_->had) {
    SaveReceiveFolder(previous_->value.c_str());
    return;
  }
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, kValue);
    RegCloseKey(key);
  }
}

}  // namespace dovrel::test
