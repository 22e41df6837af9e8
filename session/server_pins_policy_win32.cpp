// The administrator's list of trusted servers, read from the policy key.
#include <windows.h>

#include <vector>

#include "base/win32/unique_handles_win32.h"
#include "session/server_pins.h"

namespace dovrel {
namespace {

constexpr char kPolicyKeyPath[] = "SOFTWARE\\Policies\\Dovrel";
constexpr char kServerPinsValue[] = "ServerPins";
constexpr DWORD kLongestList = 64 * 1024;  // a thousand fingerprints and more
// A value that is there but is no readable list must not drop the pinning: this
// text holds no fingerprint, so it trusts no server beyond the build's list.
constexpr char kUnreadableList[] = "unreadable";

}  // namespace

std::string ReadPolicyServerPins() {
  unique_hkey key;
  // Policies are written to the system's own view; a 32-bit host reads it there too.
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicyKeyPath, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                    key.put()) != ERROR_SUCCESS)
    return {};
  DWORD type = 0;
  DWORD size = 0;
  const LONG found = RegQueryValueExA(key.get(), kServerPinsValue, nullptr, &type, nullptr, &size);
  if (found == ERROR_FILE_NOT_FOUND) return {};
  if (found != ERROR_SUCCESS || type != REG_SZ || size > kLongestList) return kUnreadableList;
  std::vector<char> text(size + 1, '\0');  // the stored text may lack its terminator
  if (RegQueryValueExA(key.get(), kServerPinsValue, nullptr, &type,
                       reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS ||
      type != REG_SZ || size >= text.size())
    return kUnreadableList;
  return std::string(text.data());
}

}  // namespace dovrel
