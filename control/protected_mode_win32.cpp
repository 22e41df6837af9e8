#include "control/protected_mode_win32.h"

#include <cstdint>
#include <vector>

#include "base/message_box.h"
#include "base/win32/unique_handles_win32.h"
#include "base/win32/window_helpers_win32.h"

namespace dovrel {

bool TokenBelowMediumIntegrity(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
  if (size < sizeof(TOKEN_MANDATORY_LABEL)) return false;
  // 8-byte cells keep the label's pointer aligned.
  std::vector<std::uint64_t> buffer((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
  if (!GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) {
    return false;
  }
  const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
  PSID sid = label->Label.Sid;
  if (sid == nullptr || !IsValidSid(sid)) return false;
  const UCHAR count = *GetSidSubAuthorityCount(sid);
  if (count == 0) return false;
  return *GetSidSubAuthority(sid, count - 1u) < static_cast<DWORD>(SECURITY_MANDATORY_MEDIUM_RID);
}

bool ProcessBelowMediumIntegrity() {
  unique_handle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
  return TokenBelowMediumIntegrity(token.get());
}

void ShowProtectedModeNotice(HWND owner) {
  ShowMessageUtf8(owner, kProtectedModeNoticeText, kCaptionNotice, MB_OK | MB_ICONINFORMATION);
}

}  // namespace dovrel
