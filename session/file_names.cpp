#include "session/file_names.h"

#include <cstring>
#include <string>

#include "base/ascii.h"
#include "base/text_field.h"

namespace dovrel {
namespace {

bool IsDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
    if (EqualIgnoringAsciiCase(stem, device)) return true;
  }
  if (stem.size() == 4 &&
      (EqualIgnoringAsciiCase(stem.substr(0, 3), "COM") ||
       EqualIgnoringAsciiCase(stem.substr(0, 3), "LPT")) &&
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

std::string JoinLocalPath(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (!path.empty() && path.back() != kPathSeparator) path += kPathSeparator;
  return path + name;
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
  const std::string path = JoinLocalPath(folder, name);
  if (path.size() >= kPathSize || path.size() >= capacity) return false;
  std::memcpy(out, path.c_str(), path.size() + 1);
  return true;
}

std::vector<TransferItem> ItemsForNames(const std::string& folder,
                                        const std::vector<std::string>& wireNames,
                                        const WireText& wire) {
  std::vector<TransferItem> items(wireNames.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    SetFieldText(items[i].fileName, wireNames[i]);
    if (!MakeLocalPath(folder, wireNames[i], wire, items[i].localPath, sizeof items[i].localPath))
      items[i].localPath[0] = '\0';
  }
  return items;
}

bool IsTextModePath(const char* path) {
  if (path == nullptr) return false;
  std::string_view text(path);
  std::size_t separator = text.find_last_of("/\\");
  std::string_view last = separator == std::string_view::npos ? text : text.substr(separator + 1);
  std::size_t dot = last.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string_view extension = last.substr(dot);
  return EqualIgnoringAsciiCase(extension, ".txt") || EqualIgnoringAsciiCase(extension, ".rst");
}

}  // namespace dovrel
