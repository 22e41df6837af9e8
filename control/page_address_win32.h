#pragma once
// What the host tells the control of its page: the address of the document
// that holds it and that of the page in the browser's window.

#include <windows.h>
#include <ole2.h>

#include "control/site_lock.h"

namespace dovrel {

// The addresses the client site leads to (none without a site or from a host
// that shows no pages), and whether this process runs a browser engine.
PageAddresses PageOfSite(IOleClientSite* site);

}  // namespace dovrel
