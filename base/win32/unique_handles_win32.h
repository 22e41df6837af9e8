#pragma once
// The owners of the Windows handles the module uses: automation strings,
// registry keys, directory searches, kernel objects and loaded modules.

#include <windows.h>
#include <oleauto.h>

#include "base/unique_any.h"

namespace dovrel {

inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void CloseFind(HANDLE search) { FindClose(search); }
inline void CloseKernelObject(HANDLE object) { CloseHandle(object); }
inline void UnloadModule(HMODULE module) { FreeLibrary(module); }

using unique_bstr = unique_any<BSTR, SysFreeString>;
using unique_hkey = unique_any<HKEY, CloseKey>;
// FindFirstFile fails with INVALID_HANDLE_VALUE, (HANDLE)-1, which is therefore "none".
using unique_find = unique_any<HANDLE, CloseFind, -1>;
// Tokens and the like fail with null; CreateFile with INVALID_HANDLE_VALUE.
using unique_handle = unique_any<HANDLE, CloseKernelObject>;
using unique_file = unique_any<HANDLE, CloseKernelObject, -1>;
using unique_module = unique_any<HMODULE, UnloadModule>;

}  // namespace dovrel
