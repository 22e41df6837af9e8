#include "control/registry_editor_win32.h"

#include <windows.h>

#include "base/win32/unique_handles_win32.h"

namespace dovrel {
namespace {

class ClassesKey final : public RegistryEditor {
 public:
  ClassesKey(HKEY root, const char* prefix) : root_(root), prefix_(prefix) {}

  bool CreateKey(const std::string& path) override { return static_cast<bool>(Create(path)); }

  bool SetValue(const std::string& path, const std::string& name,
                const std::string& data) override {
    unique_hkey key = Create(path);
    return key && RegSetValueExA(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(data.c_str()),
                                 static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
  }

  bool KeyExists(const std::string& path) override { return static_cast<bool>(Open(path)); }

  bool HasSubKeys(const std::string& path) override {
    unique_hkey key = Open(path);
    DWORD subKeys = 0;
    return key &&
           RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subKeys > 0;
  }

  bool DeleteTree(const std::string& path) override {
    const std::string full = prefix_ + path;
    const LSTATUS status = RegDeleteTreeA(root_, full.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return false;
    // RegDeleteTree empties the key; the key itself goes with RegDeleteKey.
    const LSTATUS gone = RegDeleteKeyA(root_, full.c_str());
    return gone == ERROR_SUCCESS || gone == ERROR_FILE_NOT_FOUND;
  }

 private:
  unique_hkey Create(const std::string& path) const {
    unique_hkey key;
    if (RegCreateKeyExA(root_, (prefix_ + path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
      return unique_hkey();
    }
    return key;
  }
  unique_hkey Open(const std::string& path) const {
    unique_hkey key;
    if (RegOpenKeyExA(root_, (prefix_ + path).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
      return unique_hkey();
    return key;
  }

  HKEY root_;
  std::string prefix_;
};

}  // namespace

RegistryEditor& ClassesEditor(RegistrationScope scope) {
  static ClassesKey machine(HKEY_CLASSES_ROOT, "");
  static ClassesKey user(HKEY_CURRENT_USER, "Software\\Classes\\");
  return scope == RegistrationScope::kUser ? user : machine;
}

}  // namespace dovrel
