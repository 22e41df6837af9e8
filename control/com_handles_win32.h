#pragma once
// An owner for interface pointers, on the one owner template; the handle owners
// the module uses come with it.

#include "base/win32/unique_handles_win32.h"

namespace dovrel {

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
