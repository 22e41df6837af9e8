#pragma once
// ReceiveFile as the page calls it: the automation string in, one receive
// session on this thread, "1" or "0" out.

#include <windows.h>
#include <oleauto.h>

namespace dovrel {

// S_OK with a new "1" or "0" in `result`; E_POINTER (and no session) when
// there is no place for the result.
HRESULT ReceiveFileEntry(BSTR options, BSTR* result);

}  // namespace dovrel
