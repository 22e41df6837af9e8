#pragma once
// Owners for the automation and registry handles the module uses, on the one
// owner template, and an owner for interface pointers.

#include <windows.h>
#include <oleauto.h>

#include "base/unique_any.h"

namespace dovrel {

using unique_bstr = unique_any<BSTR, SysFreeString>;

inline void CloseKey(HKEY key) { RegCloseKey(key); }
using unique_hkey = unique_any<HKEY, CloseKey>;

template <typename Interface>
void ReleaseInterface(Interface* pointer) {
  pointer->Release();
}
template <typename Interface>
using com_ptr = unique_any<Interface*, ReleaseInterface<Interface>>;

// Replaces what `slot` holds with `pointer`, taking a reference of its own.
template <typename Interface>
void Hold(com_ptr<Interface>& slot, Interface* pointer) {
  if (pointer != nullptr) pointer->AddRef();
  slot.reset(pointer);
}

}  // namespace dovrel
