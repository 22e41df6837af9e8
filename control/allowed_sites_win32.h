#pragma once
// The two site lists the control obeys: the one built into the module, and
// the administrator's policy value "AllowedSites" that can only narrow it.

#include <windows.h>

#include "control/site_lock.h"

namespace dovrel {

SiteLists ReadAllowedSites(HINSTANCE module);

}  // namespace dovrel
