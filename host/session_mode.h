#pragma once
// The control's own receive session, in its windows, for a "session" request.

#include <functional>
#include <string>

#include "control/site_lock.h"
#include "host/caller.h"
#include "host/messages.h"

namespace dovrel::host {

// Runs the session for a request under the site lists `sites` and returns
// the control's status text; an empty function where the system has no such
// windows.
std::function<std::string(const Request&, const Caller&)> SessionMode(const SiteLists& sites);

}  // namespace dovrel::host
