#include "session/file_names.h"

#include <cctype>
#include <cstring>
#include <string>

namespace dovrel {
namespace {

constexpr std::size_t kPathSize = 260;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool IsDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
    if (EqualsNoCase(stem, device)) return true;
  }
  if (stem.size() == 4 &&
      (EqualsNoCase(stem.substr(0, 3), "COM") || EqualsNoCase(stem.substr(0, 3), "LPT")) &&
      stem[3] >= '0' && stem[3] <= '9')
    return true;
  return false;
}

}  // namespace

bool IsSafeFileName(std::string_view name) {
  if (name.empty() || name.size() >= kPathSize || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return false;
    if (std::strchr("/\\:*?\"<>|", c) != nullptr) return false;
  }
  if (name.back() == '.' || name.back() == ' ') return false;
  return !IsDeviceName(name);
}

bool MakeLocalPath(const std::string& folder, std::string_view wireName, const WireText& wire,
                   char* out, std::size_t capacity) {
  if (!IsSafeFileName(wireName) || capacity == 0) return false;
  std::string name;
  if (kFileNamesAreWireText) {
    name.assign(wireName);
  } else if (!wire.ToUtf8(wireName, &name)) {
    return false;
  }
  std::string path = folder;
  if (!path.empty() && path.back() != kPathSeparator) path += kPathSeparator;
  path += name;
  if (path.size() >= kPathSize || path.size() >= capacity) return false;
  std::memcpy(out, path.c_str(), path.size() + 1);
  return true;
}

bool IsTextModePath(const char* path) {
  if (path == nullptr) return false;
  std::string_view text(path);
  std::size_t separator = text.find_last_of("/\\");
  std::string_view last = separator == std::string_view::npos ? text : text.substr(separator + 1);
  std::size_t dot = last.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string_view extension = last.substr(dot);
  return EqualsNoCase(extension, ".txt") || EqualsNoCase(extension, ".rst");
}

}  // namespace dovrel
