#pragma once
// Message box flags and captions shared by the portable logic and the window
// layer. The flag values are those of the Windows message box, so the window
// layer passes them through unchanged.

namespace dovrel {

inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbSetForeground = 0x10000;
inline constexpr unsigned kMbTopmost = 0x40000;

// Server and transfer failures come to the front; input checks do not.
inline constexpr unsigned kMbAlert = kMbOk | kMbTopmost | kMbSetForeground;

inline constexpr char kCaptionNotice[] = "알림";

// Messages that the file list query and the key exchange both show.
inline constexpr char kNoConnectionText[] = "서버에 접속할수 없습니다";
inline constexpr char kNoSkeyText[] = "정상적인 데이터가 전송되지 않았습니다(SKEY)";

}  // namespace dovrel
