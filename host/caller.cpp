#include "host/caller.h"

#include <cstdlib>

#include "base/ascii.h"
#include "control/session_values.h"
#include "net/wire_text.h"

namespace dovrel::host {
namespace {

constexpr std::string_view kChromeScheme = "chrome-extension://";
constexpr std::string_view kParentWindow = "--parent-window=";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// "chrome-extension://" and 32 letters a to p, then "/".
bool ChromeOrigin(std::string_view text) {
  if (!StartsWith(text, kChromeScheme)) return false;
  const std::string_view id = text.substr(kChromeScheme.size());
  if (id.size() != 33 || id.back() != '/') return false;
  for (char c : id.substr(0, 32)) {
    if (c < 'a' || c > 'p') return false;
  }
  return true;
}

}  // namespace

Caller IdentifyCaller(const std::vector<std::string>& arguments) {
  Caller caller;
  std::vector<std::string> positional;
  for (const std::string& argument : arguments) {
    if (StartsWith(argument, kParentWindow)) {
      const char* digits = argument.c_str() + kParentWindow.size();
      char* end = nullptr;
      const unsigned long long handle = std::strtoull(digits, &end, 10);
      if (end != digits && *end == '\0') caller.parentWindow = static_cast<std::uintptr_t>(handle);
    } else {
      positional.push_back(argument);
    }
  }
  if (!positional.empty() && StartsWith(positional[0], kChromeScheme)) {
    if (ChromeOrigin(positional[0])) caller.extension = positional[0];
  } else if (positional.size() >= 2 && !StartsWith(positional[1], kChromeScheme)) {
    caller.extension = positional[1];
  }
  return caller;
}

bool ExtensionAllowed(std::string_view extension, std::string_view allowedList) {
  if (extension.empty()) return false;
  std::size_t start = 0;
  while (start < allowedList.size()) {
    std::size_t end = start;
    while (end < allowedList.size() && allowedList[end] != ';' && allowedList[end] != ',' &&
           !IsBlank(allowedList[end]))
      ++end;
    if (allowedList.substr(start, end - start) == extension) return true;
    start = end + 1;
  }
  return false;
}

bool OriginAllowed(const std::string& origin, const SiteLists& sites, std::string* refusalUtf8) {
  PageAddresses page;
  page.addresses.push_back(origin);
  page.hostShowsPages = true;  // every request comes from a page
  std::string refusedHost;
  if (PagePermitted(page, sites, &refusedHost)) return true;
  char text[kFailureTextSize];
  FormatSiteRefusal(refusedHost, text, sizeof text);
  *refusalUtf8 = WireToUtf8(Cp949WireText(), text);
  return false;
}

}  // namespace dovrel::host
