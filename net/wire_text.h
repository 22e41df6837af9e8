#pragma once
// Texts on the wire (file names, the server's messages) are in the control's
// ANSI code page: 949 for Korean. The user's side works in UTF-8: the terminal,
// the native file system and our own message texts. This converts between them.

#include <memory>
#include <string>
#include <string_view>

namespace dovrel {

class WireText {
 public:
  virtual ~WireText() = default;
  // False when the text cannot be converted (then `out` is unspecified).
  virtual bool ToUtf8(std::string_view wire, std::string* out) const = 0;
  virtual bool FromUtf8(std::string_view utf8, std::string* out) const = 0;
};

// The platform's conversion: the ANSI code page on Windows, CP949 elsewhere.
const WireText& PlatformWireText();

// Code page 949 itself, whatever the system's ANSI code page: the code page of
// a receive session's own texts (on Windows a machine may run another one).
const WireText& Cp949WireText();

// A conversion that passes bytes through unchanged (tests, ASCII-only peers).
const WireText& IdentityWireText();

#ifndef _WIN32
// The conversion between UTF-8 and the code page iconv knows as `charset`
// ("CP949", "EUC-KR", ...); nullptr when iconv lacks either direction.
// Shareable between threads: every conversion opens its own iconv handle.
std::unique_ptr<WireText> MakeIconvWireText(const std::string& charset);
#endif

// ToUtf8 that never fails: unconvertible bytes become "?".
std::string WireToUtf8(const WireText& codec, std::string_view wire);

}  // namespace dovrel
