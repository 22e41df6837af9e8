#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "base/unique_handles_posix.h"
#include "net/wire_text.h"

namespace dovrel {
namespace {

constexpr char kUtf8[] = "UTF-8";

// Converts the whole of `in` from `from` to `to`; false on any byte that has
// no counterpart, or on a character cut off at the end.
bool Convert(const char* to, const char* from, std::string_view in, std::string* out) {
  out->clear();
  const unique_iconv codec(iconv_open(to, from));
  if (!codec) return false;

  char* source = const_cast<char*>(in.data());  // iconv's interface is not const-correct
  std::size_t sourceLeft = in.size();
  char chunk[1024];
  while (sourceLeft > 0) {
    char* target = chunk;
    std::size_t targetLeft = sizeof chunk;
    std::size_t done = iconv(codec.get(), &source, &sourceLeft, &target, &targetLeft);
    out->append(chunk, sizeof chunk - targetLeft);
    if (done == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
  }
  // Flush any shift state (none for these encodings, but harmless).
  char* target = chunk;
  std::size_t targetLeft = sizeof chunk;
  if (iconv(codec.get(), nullptr, nullptr, &target, &targetLeft) == static_cast<std::size_t>(-1))
    return false;
  out->append(chunk, sizeof chunk - targetLeft);
  return true;
}

class IconvText final : public WireText {
 public:
  explicit IconvText(std::string charset) : charset_(std::move(charset)) {}
  bool ToUtf8(std::string_view wire, std::string* out) const override {
    return Convert(kUtf8, charset_.c_str(), wire, out);
  }
  bool FromUtf8(std::string_view utf8, std::string* out) const override {
    return Convert(charset_.c_str(), kUtf8, utf8, out);
  }

 private:
  const std::string charset_;
};

}  // namespace

const WireText& PlatformWireText() {
  static const IconvText codec("CP949");
  return codec;
}

const WireText& Cp949WireText() { return PlatformWireText(); }

std::unique_ptr<WireText> MakeIconvWireText(const std::string& charset) {
  if (!unique_iconv(iconv_open(kUtf8, charset.c_str())) ||
      !unique_iconv(iconv_open(charset.c_str(), kUtf8)))
    return nullptr;
  return std::make_unique<IconvText>(charset);
}

}  // namespace dovrel
