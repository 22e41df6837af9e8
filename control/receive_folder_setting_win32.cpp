#include "control/receive_folder_setting_win32.h"

#include <windows.h>

#include <cstring>

#include "base/win32/unique_handles_win32.h"
#include "control/receive_folder_rules.h"

namespace dovrel {
namespace {

constexpr REGSAM kView = KEY_WOW64_32KEY;

}  // namespace

int LoadReceiveFolderFrom(const char* keyPath, char* buffer, std::size_t size) {
  if (buffer == nullptr) return 0;
  if (size > 0) buffer[0] = '\0';
  unique_hkey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE | kView, key.put()) !=
      ERROR_SUCCESS) {
    return 0;
  }
  char local[kPathSize] = {};
  DWORD reported = sizeof local;
  RegQueryValueExA(key.get(), kFolderValueName, nullptr, nullptr, reinterpret_cast<BYTE*>(local),
                   &reported);
  key.reset();
  // A query that did not fit leaves the buffer's content undefined: treat it as empty.
  if (reported > sizeof local) local[0] = '\0';
  if (!AcceptStoredFolder(local, reported, size)) return 0;
  std::memcpy(buffer, local, std::strlen(local) + 1);
  return -1;
}

int SaveReceiveFolderTo(const char* keyPath, const char* text) {
  if (text == nullptr || text[0] == '\0') return 0;
  unique_hkey key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE | kView, nullptr, key.put(), nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key.get(), kFolderValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
  }
  return -1;
}

int LoadReceiveFolder(char* buffer, std::size_t size) {
  return LoadReceiveFolderFrom(kFolderKeyPath, buffer, size);
}

int SaveReceiveFolder(const char* text) { return SaveReceiveFolderTo(kFolderKeyPath, text); }

}  // namespace dovrel
