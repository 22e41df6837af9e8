#pragma once
// Who started the host and for which page. The browser names the calling
// extension in the arguments (Chrome and Edge: "chrome-extension://ID/",
// Firefox: the manifest's path, then the add-on id); the extension's
// background names the page's origin in each request, from what the browser
// told it of the sender.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/site_lock.h"

namespace dovrel::host {

struct Caller {
  std::string extension;            // "" when the arguments name none
  std::uintptr_t parentWindow = 0;  // Chrome and Edge on Windows; 0: none
};

// The arguments after the program's name.
Caller IdentifyCaller(const std::vector<std::string>& arguments);

// True when `extension` is one of the entries of `allowedList` (split by ';',
// ',' or blanks), letter for letter.
bool ExtensionAllowed(std::string_view extension, std::string_view allowedList);

// True when a page of `origin` may receive. Otherwise `refusalUtf8` holds the
// control's refusal text for it.
bool OriginAllowed(const std::string& origin, const SiteLists& sites, std::string* refusalUtf8);

}  // namespace dovrel::host
