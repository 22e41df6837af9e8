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
class com_ptr;

// The interface `Wanted` of `object`, by its identity `iid`; empty when the
// object is missing or has no such interface.
template <typename Wanted>
com_ptr<Wanted> QueryInterfaceOf(IUnknown* object, REFIID iid) {
  void* found = nullptr;
  if (object == nullptr || FAILED(object->QueryInterface(iid, &found))) found = nullptr;
  return com_ptr<Wanted>(static_cast<Wanted*>(found));
}

template <typename Interface>
class com_ptr : public unique_any<Interface*, ReleaseInterface<Interface>> {
 public:
  com_ptr() = default;
  explicit com_ptr(Interface* pointer)
      : unique_any<Interface*, ReleaseInterface<Interface>>(pointer) {}
  // Declared, with the moves, so that analysers see an owner whose end releases.
  ~com_ptr() = default;
  com_ptr(com_ptr&&) noexcept = default;
  com_ptr& operator=(com_ptr&&) noexcept = default;

  Interface* operator->() const { return this->get(); }

  // Another interface of the object held; empty when it has none.
  template <typename Wanted>
  com_ptr<Wanted> query(REFIID iid) const {
    return QueryInterfaceOf<Wanted>(this->get(), iid);
  }
};

// Replaces what `slot` holds with `pointer`, taking a reference of its own.
template <typename Interface>
void Hold(com_ptr<Interface>& slot, Interface* pointer) {
  if (pointer != nullptr) pointer->AddRef();
  slot.reset(pointer);
}

}  // namespace dovrel
