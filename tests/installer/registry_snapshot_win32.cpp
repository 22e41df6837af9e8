#include "tests/installer/registry_snapshot_win32.h"

#include <algorithm>
#include <vector>

#include "base/win32/unique_handles_win32.h"
#include "tests/control/registration_checks_win32.h"

namespace dovrel::test {
namespace {

std::vector<std::wstring> Subtrees(bool shared) {
  if (shared) return {L"Dovrel.Pelgrath.1", L"Dovrel.Pelgrath", kTypeLibraryKey};
  return {kClassKey, kCategoriesKey + kScriptingCategory, kCategoriesKey + kInitialisingCategory,
          kInterfaceKey};
}

// NOLINTNEXTLINE(misc-no-recursion): one level per level of the subtree
void AddKey(const ClassesRoot& root, const std::wstring& path, REGSAM view,
            std::vector<std::wstring>* lines) {
  unique_hkey key;
  if (RegOpenKeyExW(root.key, (root.prefix + path).c_str(), 0, KEY_READ | view, key.put()) !=
      ERROR_SUCCESS)
    return;
  lines->push_back(path);
  wchar_t name[256];
  BYTE data[2048];
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = 256, size = sizeof data - sizeof(wchar_t), type = 0;
    if (RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type, data, &size) !=
        ERROR_SUCCESS)
      break;
    data[size] = data[size + 1] = 0;
    std::wstring text = type == REG_SZ ? reinterpret_cast<const wchar_t*>(data) : L"<not text>";
    // Wine's LoadTypeLibEx registers the module's path in its "\\?\" form.
    if (text.rfind(L"\\\\?\\", 0) == 0) text.erase(0, 4);
    lines->push_back(path + L" [" + name + L"] = " + text);
  }
  std::vector<std::wstring> subKeys;
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key.get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    subKeys.push_back(name);
  }
  key.reset();
  for (const std::wstring& sub : subKeys) AddKey(root, path + L"\\" + sub, view, lines);
}

}  // namespace

std::wstring Snapshot(REGSAM view, const ClassesRoot& root) {
  std::vector<std::wstring> lines;
  for (const std::wstring& subtree : Subtrees(view == 0)) AddKey(root, subtree, view, &lines);
  std::sort(lines.begin(), lines.end());
  std::wstring out;
  for (const std::wstring& line : lines) out += line + L"\n";
  return out;
}

std::wstring BrowserHostKeys(HKEY root, REGSAM view) {
  std::wstring text;
  for (const wchar_t* browser : {L"Google\\Chrome", L"Microsoft\\Edge", L"Mozilla"}) {
    const std::wstring key =
        std::wstring(L"SOFTWARE\\") + browser + L"\\NativeMessagingHosts\\kr.dovrel.receiver";
    text += RegistryText(key, nullptr, view, root) + L"\n";
  }
  return text;
}

std::wstring BrowserHostKeysFor(const std::wstring& folder) {
  const std::wstring chrome = folder + L"\\kr.dovrel.receiver.json\n";
  return chrome + chrome + folder + L"\\kr.dovrel.receiver.firefox.json\n";
}

std::wstring Expanded(const wchar_t* text) {
  wchar_t out[MAX_PATH] = {};
  ExpandEnvironmentStringsW(text, out, MAX_PATH);
  return out;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace dovrel::test
