#include "base/win32/policy_value_win32.h"

#include <windows.h>

#include <vector>

#include "base/win32/unique_handles_win32.h"

namespace dovrel {
namespace {

constexpr char kPolicyKeyPath[] = "SOFTWARE\\Policies\\Dovrel";
constexpr DWORD kLongestValue = 64 * 1024;

}  // namespace

PolicyValue ReadPolicyValue(const char* name) {
  const PolicyValue kUnreadable{PolicyValue::State::kUnreadable, {}};
  unique_hkey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicyKeyPath, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                    key.put()) != ERROR_SUCCESS)
    return {};
  DWORD type = 0;
  DWORD size = 0;
  const LONG found = RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size);
  if (found == ERROR_FILE_NOT_FOUND) return {};
  if (found != ERROR_SUCCESS || type != REG_SZ || size > kLongestValue) return kUnreadable;
  std::vector<char> text(size + 1, '\0');  // the stored text may lack its terminator
  if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ || size >= text.size())
    return kUnreadable;
  return {PolicyValue::State::kText, std::string(text.data())};
}

}  // namespace dovrel
