#pragma once
// ReceiveFile as the page calls it: the automation string in, one receive
// session on this thread, "1" or "0" out.

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

namespace dovrel {

// S_OK with a new "1" or "0" in `result`; E_POINTER (and no session) when
// there is no place for the result. `host` is the top-level window of the
// page that holds the control, or null: it owns the session's windows, so
// the page is disabled while they are open. `site` is the control's client
// site, or null: it tells the page that the site lists must allow.
HRESULT ReceiveFileEntry(BSTR options, BSTR* result, HWND host, IOleClientSite* site);

}  // namespace dovrel
