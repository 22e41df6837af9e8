#include "net/message.h"

#include <climits>
#include <cstring>
#include <string>

#include "base/ascii.h"

namespace dovrel {
namespace {

// Element names are short protocol constants; tags beyond this are refused.
constexpr std::size_t kTagCapacity = 128;

bool UpperName(const char* name, char* out, std::size_t capacity) {
  std::size_t n = std::strlen(name);
  if (n + 1 > capacity) return false;
  for (std::size_t i = 0; i < n; ++i) out[i] = UpperAsciiCase(name[i]);
  out[n] = '\0';
  return true;
}

// Appends `text` to out[*length], keeping room for the terminating zero.
bool Append(char* out, std::size_t capacity, std::size_t* length, std::string_view text) {
  if (*length + text.size() + 1 > capacity) return false;
  std::memcpy(out + *length, text.data(), text.size());
  *length += text.size();
  out[*length] = '\0';
  return true;
}

}  // namespace

bool MakeElement(const char* name, const char* value, char* out, std::size_t capacity) {
  if (capacity == 0) return false;
  out[0] = '\0';
  char tag[kTagCapacity];
  if (!UpperName(name, tag, sizeof tag)) return false;
  std::size_t length = 0;
  bool fits = Append(out, capacity, &length, "<") && Append(out, capacity, &length, tag) &&
              Append(out, capacity, &length, ">") && Append(out, capacity, &length, value) &&
              Append(out, capacity, &length, "</") && Append(out, capacity, &length, tag) &&
              Append(out, capacity, &length, ">");
  if (!fits) out[0] = '\0';
  return fits;
}

int BuildRequest(std::initializer_list<Element> elements, char* out, std::size_t capacity) {
  if (capacity == 0) return -1;
  std::size_t length = 0;
  out[0] = '\0';
  std::string root = std::string("<") + kMessageRoot + ">";
  bool fits =
      Append(out, capacity, &length, kMessageHeader) && Append(out, capacity, &length, root);
  for (const Element& element : elements) {
    if (!fits) break;
    char tag[kTagCapacity];
    fits = UpperName(element.name, tag, sizeof tag);
    if (!fits) break;
    std::string item = std::string("<") + tag + ">" + element.value + "</" + tag + ">";
    fits = Append(out, capacity, &length, item);
  }
  fits = fits && Append(out, capacity, &length, std::string("</") + kMessageRoot + ">");
  if (!fits || length > INT_MAX) {
    out[0] = '\0';
    return -1;
  }
  return static_cast<int>(length);
}

std::optional<std::string_view> FindElementText(std::string_view document, const char* name) {
  if (document.empty() || name == nullptr) return std::nullopt;
  char tag[kTagCapacity];
  if (!UpperName(name, tag, sizeof tag)) return std::nullopt;
  std::string open = std::string("<") + tag + ">";
  std::string close = std::string("</") + tag + ">";
  std::size_t start = document.find(open);
  if (start == std::string_view::npos) return std::nullopt;
  std::size_t end = document.find(close, start);
  if (end == std::string_view::npos) return std::nullopt;
  std::size_t textStart = start + open.size();
  if (end < textStart) return std::nullopt;
  return document.substr(textStart, end - textStart);
}

bool FindElement(const char* document, const char* name, char* out, std::size_t capacity) {
  if (document == nullptr || out == nullptr) return false;
  auto text = FindElementText(document, name);
  if (!text || text->size() + 1 > capacity) return false;
  std::memcpy(out, text->data(), text->size());
  out[text->size()] = '\0';
  return true;
}

std::optional<std::string_view> FindParameterText(std::string_view text, const char* name) {
  if (name == nullptr) return std::nullopt;
  std::size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  std::string_view key(name);
  std::size_t pairStart = 0;
  for (;;) {
    std::string_view pair = text.substr(pairStart);
    if (StartsWithIgnoringAsciiCase(pair, key) && pair.size() > key.size() &&
        pair[key.size()] == '=') {
      std::size_t valueStart = pairStart + key.size() + 1;
      std::size_t valueEnd = text.find('&', valueStart);
      if (valueEnd == std::string_view::npos) valueEnd = text.size();
      return text.substr(valueStart, valueEnd - valueStart);
    }
    std::size_t amp = text.find('&', pairStart);
    if (amp == std::string_view::npos) return std::nullopt;
    pairStart = amp + 1;
  }
}

int FindParameter(const char* text, const char* name, char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return -1;
  out[0] = '\0';
  if (text == nullptr) return -1;
  auto value = FindParameterText(text, name);
  if (!value) return -1;
  std::size_t n = value->size() < capacity - 1 ? value->size() : capacity - 1;
  std::memcpy(out, value->data(), n);
  out[n] = '\0';
  return 0;
}

bool IsReceivedFileName(const char* name) {
  static const char* const kReceivedPrefixes[] = {"107"};
  if (name == nullptr) return false;
  for (const char* prefix : kReceivedPrefixes) {
    if (StartsWithIgnoringAsciiCase(name, prefix)) return true;
  }
  return false;
}

}  // namespace dovrel
