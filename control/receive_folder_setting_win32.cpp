#include "control/receive_folder_setting_win32.h"

#include <windows.h>

#include <cstring>

#include "base/win32/unique_handles_win32.h"
#include "control/receive_folder_rules.h"

namespace dovrel {
namespace {

constexpr REGSAM kView = KEY_WOW64_32KEY;

// The value under `root`, read-only; all zero when the key or value is missing.
StoredFolderRead ReadStoredFolder(HKEY root, const char* keyPath) {
  StoredFolderRead read;
  unique_hkey key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE | kView, key.put()) != ERROR_SUCCESS) {
    return read;
  }
  DWORD reported = sizeof read.local;
  RegQueryValueExA(key.get(), kFolderValueName, nullptr, nullptr,
                   reinterpret_cast<BYTE*>(read.local), &reported);
  // A query that did not fit leaves the buffer's content undefined: treat it as empty.
  if (reported > sizeof read.local) read.local[0] = '\0';
  read.reportedSize = reported;
  return read;
}

// True once the value under `root` holds `text`; the key is made when missing.
bool WriteStoredFolder(HKEY root, const char* keyPath, const char* text) {
  unique_hkey key;
  if (RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | kView,
                      nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return RegSetValueExA(key.get(), kFolderValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

}  // namespace

int LoadReceiveFolderFrom(const char* keyPath, char* buffer, std::size_t size) {
  if (buffer == nullptr) return 0;
  if (size > 0) buffer[0] = '\0';
  const StoredFolderRead user = ReadStoredFolder(HKEY_CURRENT_USER, keyPath);
  const StoredFolderRead machine = ReadStoredFolder(HKEY_LOCAL_MACHINE, keyPath);
  const StoredFolderRead* chosen = ChooseStoredFolder(user, machine, size);
  if (chosen == nullptr) return 0;
  std::memcpy(buffer, chosen->local, std::strlen(chosen->local) + 1);
  return -1;
}

int SaveReceiveFolderTo(const char* keyPath, const char* text) {
  if (text == nullptr || text[0] == '\0') return 0;
  // Only the user's own: the machine's default is the installer's and the
  // administrator's, and one user's choice must not become every user's.
  return WriteStoredFolder(HKEY_CURRENT_USER, keyPath, text) ? -1 : 0;
}

int LoadReceiveFolder(char* buffer, std::size_t size) {
  return LoadReceiveFolderFrom(kFolderKeyPath, buffer, size);
}

int SaveReceiveFolder(const char* text) { return SaveReceiveFolderTo(kFolderKeyPath, text); }

}  // namespace dovrel
