#pragma once
// The host's whole conversation with the browser: hello first, the caller's
// extension checked, then one request at a time on a job thread while the
// input is read on; the end of the input cancels what runs and ends the host.

#include <functional>
#include <string>

#include "control/site_lock.h"
#include "host/caller.h"
#include "host/framing.h"
#include "host/jobs.h"
#include "session/server_pins.h"

namespace dovrel::host {

struct HostSettings {
  std::string version;
  std::string extensionList;  // the ids the build names
  SiteLists sites;
  ServerPins pins;
  // The control's receive session in its windows: "1" or "0". Empty where
  // there is none (the request is then unsupported).
  std::function<std::string(const Request&, const Caller&)> session;
};

// Returns the host's exit code: 0 after the input ended, 1 when the host
// refused to go on (unknown extension, oversized message).
int Converse(const Caller& caller, const HostSettings& settings, ByteReader& in, ReplySink& out);

}  // namespace dovrel::host
