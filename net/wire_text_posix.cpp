#include <iconv.h>

#include <cerrno>
#include <cstddef>

#include "net/unique_any.h"
#include "net/wire_text.h"

namespace dovrel {
namespace {

void CloseIconv(iconv_t handle) { iconv_close(handle); }
using unique_iconv = unique_any<iconv_t, CloseIconv>;

// Converts the whole of `in` from `from` to `to`; false on any byte that has
// no counterpart, or on a character cut off at the end.
bool Convert(const char* to, const char* from, std::string_view in, std::string* out) {
  out->clear();
  iconv_t opened = iconv_open(to, from);
  if (opened == reinterpret_cast<iconv_t>(-1)) return false;
  unique_iconv codec(opened);

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

class Cp949Text final : public WireText {
 public:
  bool ToUtf8(std::string_view wire, std::string* out) const override {
    return Convert("UTF-8", "CP949", wire, out);
  }
  bool FromUtf8(std::string_view utf8, std::string* out) const override {
    return Convert("CP949", "UTF-8", utf8, out);
  }
};

}  // namespace

const WireText& PlatformWireText() {
  static const Cp949Text codec;
  return codec;
}

}  // namespace dovrel
