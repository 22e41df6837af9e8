#pragma once
// Which pages may drive the control. A build carries a list of sites and an
// administrator's policy may narrow it; a page must be on both to run a
// session. The host tells the page's addresses (none for a script host).

#include <string>
#include <string_view>
#include <vector>

#include "base/policy_value.h"

namespace dovrel {

struct SiteLists {
  std::string builtIn;  // empty: every site
  PolicyValue policy;   // narrows the built-in list; unreadable allows no site
};

// What the host tells of the page that holds the control.
struct PageAddresses {
  std::vector<std::string> addresses;  // each one the host gave; none from local code
  bool hostShowsPages = false;         // a browser engine runs in this process
};

// The scheme and host of an absolute address, both in lower case, the host
// without user name, port or trailing dot. False when it has no "scheme://".
bool ParsePageAddress(std::string_view address, std::string* scheme, std::string* host);

// True when `list` (entries split by ';', ',' or blanks: "host", "*.suffix",
// each optionally after "https://" or "http://"; https when none is given)
// holds the page's scheme and host.
bool SiteListAllows(std::string_view list, std::string_view scheme, std::string_view host);

// True when the page may run a session. Otherwise `refusedHost` names the host
// of the first address refused ("" when the page gave no address to check).
bool PagePermitted(const PageAddresses& page, const SiteLists& sites, std::string* refusedHost);

// The text (code page 949) of the box shown to a page that is not allowed.
void FormatSiteRefusal(std::string_view host, char* out, std::size_t capacity);

}  // namespace dovrel
