#pragma once
// Which pages may drive the control. A build carries a list of sites and an
// administrator's policy may narrow it; a page must be on both to run a
// session. The host tells the page's addresses (none for a script host).

#include <string>
#include <string_view>
#include <vector>

#include "base/policy_value.h"

namespace dovrel {

// The built-in list that allows every site; it must be asked for by name, so
// that a list lost or left empty allows none.
inline constexpr char kEverySite[] = "*";

struct SiteLists {
  std::string builtIn;  // kEverySite: every site; empty: none
  PolicyValue policy;   // narrows the built-in list; unreadable allows no site
};

// What the host tells of the page that holds the control.
struct PageAddresses {
  // Each one the host gave, in UTF-8; "" for a document that would not tell
  // its own. None from local code.
  std::vector<std::string> addresses;
  bool hostShowsPages = false;  // a browser engine runs in this process
};

// The scheme and host of an absolute address, both in lower case, the host
// without user name, port or trailing dot. False when it has no "scheme://".
bool ParsePageAddress(std::string_view address, std::string* scheme, std::string* host);

// True when `list` (entries split by ';', ',' or blanks: "host", "*.suffix",
// each optionally after "https://" or "http://"; https when none is given)
// holds the page's scheme and host.
bool SiteListAllows(std::string_view list, std::string_view scheme, std::string_view host);

// True when the page may run a session: every address plain ASCII and on the
// lists. Otherwise `refusedHost` names the host of the first address refused
// when it is a plain host name, and is "" else (no address, or one that could
// not be read: its text is the page's, not to be shown as the control's).
bool PagePermitted(const PageAddresses& page, const SiteLists& sites, std::string* refusedHost);

// The text (code page 949) of the box shown to a page that is not allowed.
void FormatSiteRefusal(std::string_view host, char* out, std::size_t capacity);

}  // namespace dovrel
