#pragma once
// Conversion of file names between the wire's code page (CP949 for Korean)
// and the local file system's UTF-8.

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

namespace dovrel::server {

inline constexpr char kFileSystemCharset[] = "UTF-8";
inline constexpr char kDefaultWireCharset[] = "CP949";

// One conversion direction. Not shared between threads: each request makes
// its own. A text with a character that has no counterpart does not convert.
class TextConverter {
 public:
  TextConverter(const char* toCharset, const char* fromCharset);
  ~TextConverter();
  TextConverter(const TextConverter&) = delete;
  TextConverter& operator=(const TextConverter&) = delete;

  bool Valid() const { return handle_ != kInvalid; }
  std::optional<std::string> Convert(std::string_view text);

 private:
  static inline const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);
  iconv_t handle_ = kInvalid;
};

// True when iconv knows both directions between `wireCharset` and UTF-8.
bool IsSupportedWireCharset(const std::string& wireCharset);

}  // namespace dovrel::server
