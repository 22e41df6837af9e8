#pragma once
// The owners of the Windows handles the module uses: automation strings,
// registry keys and directory searches.

#include <windows.h>
#include <oleauto.h>

#include "base/unique_any.h"

namespace dovrel {

inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void CloseFind(HANDLE search) { FindClose(search); }

using unique_bstr = unique_any<BSTR, SysFreeString>;
using unique_hkey = unique_any<HKEY, CloseKey>;
// FindFirstFile fails with INVALID_HANDLE_VALUE, (HANDLE)-1, which is therefore "none".
using unique_find = unique_any<HANDLE, CloseFind, -1>;

}  // namespace dovrel
