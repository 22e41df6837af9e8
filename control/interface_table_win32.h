#pragma once
// QueryInterface from one table: the interfaces an object answers to, in
// order, each with the cast that finds it in the object. IUnknown is answered
// with the first entry; everything else is refused.

#include <windows.h>
#include <unknwn.h>

#include <cstddef>

namespace dovrel {

template <typename Object>
struct InterfaceEntry {
  const IID* iid;
  IUnknown* (*cast)(Object*);
};

// The cast to `Interface` by way of `Via`, for bases that appear twice.
template <typename Object, typename Interface, typename Via = Interface>
IUnknown* InterfaceOf(Object* object) {
  return static_cast<Interface*>(static_cast<Via*>(object));
}

template <typename Object, std::size_t N>
HRESULT QueryFromTable(Object* object, const InterfaceEntry<Object> (&table)[N], REFIID iid,
                       void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  for (const InterfaceEntry<Object>& entry : table) {
    if (IsEqualIID(iid, *entry.iid) || (&entry == &table[0] && IsEqualIID(iid, IID_IUnknown))) {
      IUnknown* found = entry.cast(object);
      found->AddRef();
      *out = found;
      return S_OK;
    }
  }
  return E_NOINTERFACE;
}

}  // namespace dovrel
