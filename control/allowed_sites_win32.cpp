#include "control/allowed_sites_win32.h"

#include "base/win32/policy_value_win32.h"
#include "resource_ids.h"

namespace dovrel {

SiteLists ReadAllowedSites(HINSTANCE module) {
  SiteLists sites;
  // The list is ASCII (the build checks it); read it wide, as it is stored.
  const wchar_t* text = nullptr;
  const int length = LoadStringW(module, IDS_ALLOWED_SITES, reinterpret_cast<LPWSTR>(&text), 0);
  for (int i = 0; i < length; ++i)
    sites.builtIn += static_cast<char>(text[i] < 0x80 ? text[i] : '?');

  sites.policy = ReadPolicyValue("AllowedSites");
  return sites;
}

}  // namespace dovrel
