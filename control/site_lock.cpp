#include "control/site_lock.h"

#include <cstdio>

#include "base/ascii.h"
#include "control/session_values.h"

namespace dovrel {
namespace {

constexpr std::string_view kSchemeMark = "://";
constexpr std::string_view kSubdomainMark = "*.";
constexpr std::size_t kLongestShownHost = 200;

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = FoldAsciiCase(c);
  return lower;
}

// Letters, digits, '-', '_' and '.', or an IPv6 literal in brackets: anything
// else (an escape, a non-ASCII byte) never matches a list entry.
bool PlainHost(std::string_view host) {
  if (host.empty()) return false;
  if (host.front() == '[') return host.back() == ']';
  for (char c : host) {
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    if (!ok) return false;
  }
  return host.front() != '.';
}

// Printable ASCII only: a host converted from Unicode could otherwise come
// out as an allowed one ("bānk" as "bank").
bool PlainAscii(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E) return false;
  }
  return true;
}

bool EntryAllows(std::string_view entry, std::string_view scheme, std::string_view host) {
  std::string_view allowedScheme = "https";
  if (const std::size_t mark = entry.find(kSchemeMark); mark != std::string_view::npos) {
    allowedScheme = entry.substr(0, mark);
    entry.remove_prefix(mark + kSchemeMark.size());
  }
  if (!EqualIgnoringAsciiCase(allowedScheme, scheme)) return false;
  if (entry.substr(0, kSubdomainMark.size()) == kSubdomainMark) {
    const std::string_view suffix = entry.substr(1);  // ".bank.example"
    return suffix.size() > 1 && host.size() > suffix.size() &&
           EqualIgnoringAsciiCase(host.substr(host.size() - suffix.size()), suffix);
  }
  return !entry.empty() && EqualIgnoringAsciiCase(entry, host);
}

}  // namespace

bool ParsePageAddress(std::string_view address, std::string* scheme, std::string* host) {
  const std::size_t mark = address.find(kSchemeMark);
  if (mark == std::string_view::npos || mark == 0) return false;
  *scheme = Lower(address.substr(0, mark));
  std::string_view rest = address.substr(mark + kSchemeMark.size());
  rest = rest.substr(0, rest.find_first_of("/?#\\"));
  if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
    rest.remove_prefix(at + 1);
  }
  if (!rest.empty() && rest.front() == '[') {
    if (const std::size_t close = rest.find(']'); close != std::string_view::npos) {
      rest = rest.substr(0, close + 1);
    }
  } else {
    rest = rest.substr(0, rest.find(':'));
  }
  if (!rest.empty() && rest.back() == '.') rest.remove_suffix(1);
  *host = Lower(rest);
  return true;
}

bool SiteListAllows(std::string_view list, std::string_view scheme, std::string_view host) {
  if (!PlainHost(host)) return false;
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = start;
    while (end < list.size() && list[end] != ';' && list[end] != ',' && !IsBlank(list[end])) ++end;
    if (end > start && EntryAllows(list.substr(start, end - start), scheme, host)) return true;
    start = end + 1;
  }
  return false;
}

bool PagePermitted(const PageAddresses& page, const SiteLists& sites, std::string* refusedHost) {
  refusedHost->clear();
  const bool everySite = sites.builtIn == kEverySite;
  const bool policyList = sites.policy.state != PolicyValue::State::kAbsent;
  if (everySite && !policyList) return true;
  // A page can create the control without giving it a page (new ActiveXObject):
  // in a process that shows pages, no address is not proof of local code.
  if (page.addresses.empty()) return !page.hostShowsPages;
  for (const std::string& address : page.addresses) {
    std::string scheme;
    std::string host;
    const bool parsed = PlainAscii(address) && ParsePageAddress(address, &scheme, &host);
    const bool allowed = parsed && (everySite || SiteListAllows(sites.builtIn, scheme, host)) &&
                         (!policyList || (sites.policy.state == PolicyValue::State::kText &&
                                          SiteListAllows(sites.policy.text, scheme, host)));
    if (!allowed) {
      if (parsed && PlainHost(host)) *refusedHost = host;
      return false;
    }
  }
  return true;
}

void FormatSiteRefusal(std::string_view host, char* out, std::size_t capacity) {
  std::string shown;
  for (char c : host.substr(0, kLongestShownHost)) {
    shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
  }
  if (shown.empty()) shown = AnsiText("(알 수 없음)");
  const std::string phrase = AnsiText(" 사이트에서는 자료 수신을 사용할 수 없습니다");
  const std::string reason = AnsiText("(허용되지 않은 사이트입니다)");
  std::snprintf(out, capacity, "%s%s\n%s", shown.c_str(), phrase.c_str(), reason.c_str());
}

}  // namespace dovrel
