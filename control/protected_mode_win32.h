#pragma once
// Protected Mode: a page whose zone runs the browser below medium integrity
// may list the server's files but cannot keep a setting or a received file.

#include <windows.h>

namespace dovrel {

inline constexpr char kProtectedModeNoticeText[] =
    "이 페이지의 보호 수준에서는 수신한 파일을 저장할 수 없습니다\n"
    "관리자가 은행 사이트를 신뢰할 수 있는 사이트에 추가하거나\n"
    "그 영역의 보호 모드를 해제해야 합니다";

// True when this process's integrity level is below medium; false also when
// the level cannot be read, so such a process goes on as any other.
bool ProcessBelowMediumIntegrity();
// The same for a token opened with TOKEN_QUERY.
bool TokenBelowMediumIntegrity(HANDLE token);

// The notice above, caption "알림", owned by `owner`; blocks until closed.
void ShowProtectedModeNotice(HWND owner);

}  // namespace dovrel
