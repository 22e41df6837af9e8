#pragma once
// What the host takes from the machine: the administrator's narrowing of the
// site list, the receive folder, and standard input and output as raw bytes.

#include <string>

#include "base/policy_value.h"

namespace dovrel::host {

// Windows: the control's policy value AllowedSites. Elsewhere the file
// /etc/dovrel/allowed-sites, which only an administrator can write: absent
// narrows nothing, present but unreadable allows no site.
PolicyValue ReadSitePolicy();

#ifndef _WIN32
// The same from the file at `path`.
PolicyValue ReadSitePolicyFile(const char* path);
#endif

// The receive folder, made where the platform has a default; false with the
// control's message (UTF-8) when there is none that can be used.
// Windows: the control's setting (the user's first, else the machine's).
// Elsewhere: the one line of $XDG_CONFIG_HOME/dovrel/receive-folder
// (~/.config when unset), else ~/Downloads/Dovrel.
bool ReceiveFolder(std::string* folder, std::string* messageUtf8);

// Binary standard input and output; a closed output is not fatal.
void PrepareStdio();

}  // namespace dovrel::host
