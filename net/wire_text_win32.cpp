#include <windows.h>

#include <climits>
#include <string>

#include "net/wire_text.h"

namespace dovrel {
namespace {

// `in` in code page `page` to UTF-16; false on invalid bytes.
bool ToWide(UINT page, std::string_view in, std::wstring* out) {
  out->clear();
  if (in.empty()) return true;
  if (in.size() > static_cast<std::size_t>(INT_MAX)) return false;
  const int length = static_cast<int>(in.size());
  const int needed = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, in.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  out->resize(static_cast<std::size_t>(needed));
  return MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, in.data(), length, &(*out)[0], needed) ==
         needed;
}

// UTF-16 to code page `page`; false when a character has no counterpart there
// (no "best fit" look-alikes, no default character).
bool FromWide(UINT page, const std::wstring& in, std::string* out) {
  out->clear();
  if (in.empty()) return true;
  if (in.size() > static_cast<std::size_t>(INT_MAX)) return false;
  const int length = static_cast<int>(in.size());
  // UTF-8 targets reject the "default used" report and the no-best-fit flag.
  const bool toUtf8 = page == CP_UTF8 || (page == CP_ACP && GetACP() == CP_UTF8);
  const DWORD flags = toUtf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultReport = toUtf8 ? nullptr : &usedDefault;
  const int needed =
      WideCharToMultiByte(page, flags, in.data(), length, nullptr, 0, nullptr, usedDefaultReport);
  if (needed <= 0 || usedDefault) return false;
  out->resize(static_cast<std::size_t>(needed));
  const int written = WideCharToMultiByte(page, flags, in.data(), length, &(*out)[0], needed,
                                          nullptr, usedDefaultReport);
  return written == needed && !usedDefault;
}

class CodePageText final : public WireText {
 public:
  explicit CodePageText(UINT page) : page_(page) {}
  bool ToUtf8(std::string_view wire, std::string* out) const override {
    std::wstring wide;
    return ToWide(page_, wire, &wide) && FromWide(CP_UTF8, wide, out);
  }
  bool FromUtf8(std::string_view utf8, std::string* out) const override {
    std::wstring wide;
    return ToWide(CP_UTF8, utf8, &wide) && FromWide(page_, wide, out);
  }

 private:
  const UINT page_;
};

}  // namespace

const WireText& PlatformWireText() {
  static const CodePageText codec(CP_ACP);
  return codec;
}

const WireText& Cp949WireText() {
  static const CodePageText codec(949);
  return codec;
}

}  // namespace dovrel
